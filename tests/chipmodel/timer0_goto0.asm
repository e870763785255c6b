; A program that keeps interrupts on when it enters the bootloader: Timer0
; interrupts every 32.8 ms (8 MHz, prescaler 1:256) count ticks; after 15
; ticks (about half a second) the program jumps to 0 with GIE still set, so
; the loader runs (and, unless it turns them off, erases row 0) with
; interrupts on. With no host the loader starts the program again.
; PIC16F88; its variables stay clear of the loader's RAM (0x70-0x75).
        processor p16f88
        include <p16f88.inc>
        errorlevel -302
        __config _CONFIG1, _INTRC_IO & _WDT_OFF & _LVP_OFF & _MCLR_ON
        __config _CONFIG2, _IESO_OFF & _FCMEN_OFF

        cblock  0x7A                    ; common RAM
        ticks, saveW, saveS
        endc

        org     0
        pagesel start
        goto    start

        org     4
isr:    movwf   saveW
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
        movlw   0x70                    ; 8 MHz
        movwf   OSCCON
        movlw   b'10000111'             ; Timer0 on the instruction clock, 1:256
        movwf   OPTION_REG
        clrf    ticks
        movlw   (1 << GIE) | (1 << TMR0IE)
        movwf   INTCON
wait:   movlw   .15
        subwf   ticks, W
        btfss   STATUS, C
        goto    wait
        clrf    PCLATH
        goto    0                       ; into the bootloader, GIE set
        end
