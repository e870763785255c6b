; PIC16F819: a table one word longer than the room below the bootloader
; (its last word at 0x75C, the first of the bootloader's area). The host must
; refuse it and write nothing.
        list    p=16f819, r=dec
        #include <p16f819.inc>

        org     0x0000
        goto    $

        org     0x075C - 4
        retlw   1
        retlw   2
        retlw   3
        retlw   4
        retlw   5                       ; at 0x75C
        end
