; PIC16F819, relocatable: assembled to an object and placed by gplink.
        list    p=16f819, r=dec
        #include <p16f819.inc>
        errorlevel -302

        __CONFIG _INTRC_IO & _WDT_OFF & _PWRTE_ON & _MCLR_ON & _BOREN_OFF & _LVP_OFF & _CP_OFF

        udata
count1  res     1
count2  res     1

reset_vector code 0x0000
        pagesel main
        goto    main

main_code code
main:   banksel ADCON1
        movlw   0x06                    ; every pin digital
        movwf   ADCON1
        #include "corpus_loop.inc"
        end
