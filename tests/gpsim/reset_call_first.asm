; Reset code that calls before it sets PCLATH: it cannot be mended, so
; started by the bootloader the call lands in page 1. Fernbow warns.
        #include <p16f88.inc>
        __CONFIG _CONFIG1, _INTRC_IO & _WDT_OFF & _LVP_OFF & _MCLR_ON
        org     0
        call    init
        goto    main
        org     4
        retfie
init:   return
        #include "reset_body.inc"
        end
