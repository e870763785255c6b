; PIC16F819, absolute mode, written as INHX8M (no extended address record):
; configuration word, ID locations and EEPROM data beside the program.
; The reset code sets main's page itself, so the host leaves it alone.
        list    p=16f819, r=dec
        #include <p16f819.inc>
        errorlevel -302

        __CONFIG _INTRC_IO & _WDT_OFF & _PWRTE_ON & _MCLR_ON & _BOREN_OFF & _LVP_OFF & _CP_OFF
        __IDLOCS 0x1819

        cblock  0x20
          count1
          count2
        endc

        org     0x0000
        pagesel main
        goto    main

        org     0x0004
        retfie

main:
        #include "corpus_loop.inc"

        org     0x2100                  ; EEPROM: byte 0x4200 of the file
        de      "F819", 0
        end
