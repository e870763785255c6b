; PIC16F88, absolute mode: the main loop on page 1 calls a routine on page 0,
; with both configuration words, ID locations and EEPROM data. The reset
; code is a bare goto, which the host mends for the bootloader.
        list    p=16f88, r=dec
        #include <p16f88.inc>
        errorlevel -302, -306

        __CONFIG _CONFIG1, _INTRC_IO & _WDT_OFF & _PWRTE_ON & _MCLR_ON & _BOREN_OFF & _LVP_OFF & _CP_OFF
        __CONFIG _CONFIG2, _FCMEN_OFF & _IESO_OFF
        __IDLOCS 0x0880

        cblock  0x20
          count1
          count2
        endc

        org     0x0000
        goto    start                   ; page 0: no PCLATH needed from a reset

        org     0x0004
        retfie

start:  banksel ANSEL
        clrf    ANSEL
        pagesel main
        goto    main

set_porta:                              ; on page 0, called from page 1
        banksel TRISA
        clrf    TRISA
        banksel PORTA
        movlw   0x05
        movwf   PORTA
        return

        org     0x0900                  ; page 1
main:   pagesel set_porta
        call    set_porta
        pagesel main
        #include "corpus_loop.inc"

        org     0x2100
        de      0x88, 0x16, "EE"
        end
