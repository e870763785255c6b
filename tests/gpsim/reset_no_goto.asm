; Code that starts at address 0 and runs on past the first four words
; without a goto: fine after a real reset, but moved below the bootloader it
; runs on into the bootloader. Fernbow warns.
        #include <p16f88.inc>
        __CONFIG _CONFIG1, _INTRC_IO & _WDT_OFF & _LVP_OFF & _MCLR_ON
        org     0
        #include "reset_body.inc"
        end
