; Reset code as hand-written programs often have it: a bare goto, which
; relies on PCLATH being 0 as after a real reset. Fernbow puts clrf PCLATH
; in front of it when it moves it below the bootloader.
        #include <p16f88.inc>
        __CONFIG _CONFIG1, _INTRC_IO & _WDT_OFF & _LVP_OFF & _MCLR_ON
        org     0
        goto    main
        org     4
        retfie
        #include "reset_body.inc"
        end
