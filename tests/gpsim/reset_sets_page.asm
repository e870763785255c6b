; Reset code that sets its page itself, as compilers emit it; the program
; proper lies in page 1 so that a wrong page would show. Moved unchanged.
        #include <p16f88.inc>
        __CONFIG _CONFIG1, _INTRC_IO & _WDT_OFF & _LVP_OFF & _MCLR_ON
        org     0
        movlw   high main
        movwf   PCLATH
        goto    main
        org     4
        retfie
        org     0x900
        #include "reset_body.inc"
        end
