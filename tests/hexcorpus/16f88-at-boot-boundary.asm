; PIC16F88: a table whose last word is the last one below the bootloader's
; area (0xF5B); the image still fits.
        list    p=16f88, r=dec
        #include <p16f88.inc>
        errorlevel -302

        cblock  0x20
          count1
          count2
        endc

        org     0x0000
        pagesel main
        goto    main

main:
        #include "corpus_loop.inc"

        org     0x0F5C - 4
        retlw   1
        retlw   2
        retlw   3
        retlw   4                       ; at 0xF5B
        end
