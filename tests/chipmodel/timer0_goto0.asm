; Timer0 interrupts (every 32.8 ms at 8 MHz, 1:256) count ticks; after 15
; the program jumps to 0 with GIE still set, into the bootloader. Either
; chip (gpasm -p names it); its variables stay clear of the loader's RAM
; (0x70-0x75).
        ifdef   __16F819
        include <p16f819.inc>
        else
        include <p16f88.inc>
        endif
        errorlevel -302
        cblock  0x7A
        ticks, saveW, saveS
        endc
        org     0
        pagesel start
        goto    start
        org     4
        movwf   saveW
        swapf   STATUS, W
        movwf   saveS
        bcf     INTCON, TMR0IF
        incf    ticks, F
        swapf   saveS, W
        movwf   STATUS
        swapf   saveW, F
        swapf   saveW, W
        retfie
start:  banksel OSCCON
        movlw   0x70
        movwf   OSCCON
        movlw   b'10000111'
        movwf   OPTION_REG
        clrf    ticks
        movlw   (1 << GIE) | (1 << TMR0IE)
        movwf   INTCON
wait:   movlw   .15
        subwf   ticks, W
        btfss   STATUS, C
        goto    wait
        clrf    PCLATH
        goto    0
        end
