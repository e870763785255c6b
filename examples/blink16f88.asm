; blink16f88.asm - blinks a LED on RB0 of a PIC16F88, about once a second.
; Internal oscillator at 4 MHz; LED from RB0 through a resistor to ground.
;
; The bootloader moves the first four words below its entry (0xF5C) and
; starts them from there with PCLATH still on its own page, so the reset
; code sets main's page before it jumps. All code stays far below the
; bootloader's area.
;
; Build: gpasm -p p16f88 blink16f88.asm  ->  blink16f88.hex

        list    r=dec                   ; plain numbers are decimal
        #include <p16f88.inc>
        errorlevel -302                 ; bank reminders: banksel is used throughout

        __CONFIG _CONFIG1, _INTRC_IO & _WDT_OFF & _PWRTE_ON & _MCLR_ON & _BOREN_OFF & _LVP_OFF & _CPD_OFF & _WRT_PROTECT_OFF & _DEBUG_OFF & _CCP1_RB0 & _CP_OFF
        __CONFIG _CONFIG2, _FCMEN_OFF & _IESO_OFF

LED     equ     0                       ; RB0

        cblock  0x20
          count1
          count2
          count3
        endc

        org     0x0000
reset:  pagesel main                    ; main's page, whatever page we came from
        goto    main

        org     0x0004
isr:    retfie                          ; no interrupts are enabled

main:   banksel OSCCON
        movlw   b'01100000'             ; IRCF = 110: 4 MHz internal clock
        movwf   OSCCON
        clrf    ANSEL                   ; every pin digital
        bcf     TRISB, LED              ; LED pin is an output
        banksel PORTB
        clrf    PORTB

loop:   movlw   1 << LED
        xorwf   PORTB, f                ; toggle the LED
        call    delay_half_second
        goto    loop

; About 0.5 s at 1 MIPS: 3 x 256 x 217 x 3 cycles.
delay_half_second:
        movlw   3
        movwf   count3
d3:     clrf    count2
d2:     movlw   217
        movwf   count1
d1:     decfsz  count1, f
        goto    d1
        decfsz  count2, f
        goto    d2
        decfsz  count3, f
        goto    d3
        return

        end
