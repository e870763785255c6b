; PIC16F88, relocatable: assembled to an object and placed by gplink, main
; in a section of its own on page 1.
        list    p=16f88, r=dec
        #include <p16f88.inc>
        errorlevel -302, -306

        __CONFIG _CONFIG1, _INTRC_IO & _WDT_OFF & _PWRTE_ON & _MCLR_ON & _BOREN_OFF & _LVP_OFF & _CP_OFF
        __CONFIG _CONFIG2, _FCMEN_OFF & _IESO_OFF

        udata
count1  res     1
count2  res     1

reset_vector code 0x0000
        pagesel main
        goto    main

main_page1 code 0x0A00
main:   banksel ANSEL
        clrf    ANSEL
        #include "corpus_loop.inc"
        end
