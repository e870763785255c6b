; hello16f88.asm - a PIC16F88 that says hello on its serial line, about
; twice a second: "Hello from the PIC16F88" and CR LF, at 9600 baud 8N1 on
; the USART (TX on RB5, RX on RB2: the bootloader's own pins, so the same
; cable shows it, e.g. fernbow-cli --monitor=9600 after programming).
;
; Internal oscillator at 8 MHz. 9600 baud with BRGH = 1:
; 8 000 000 / (16 x (51 + 1)) = 9615, 0.16 % fast.
;
; The reset code sets main's page before it jumps: the bootloader starts the
; moved words with PCLATH on its own page.
;
; Build: gpasm -p p16f88 hello16f88.asm  ->  hello16f88.hex

        list    r=dec
        #include <p16f88.inc>
        errorlevel -302

        __CONFIG _CONFIG1, _INTRC_IO & _WDT_OFF & _PWRTE_ON & _MCLR_ON & _BOREN_OFF & _LVP_OFF & _CPD_OFF & _WRT_PROTECT_OFF & _DEBUG_OFF & _CCP1_RB0 & _CP_OFF
        __CONFIG _CONFIG2, _FCMEN_OFF & _IESO_OFF

        cblock  0x20
          index
          count1
          count2
          count3
        endc

        org     0x0000
reset:  pagesel main
        goto    main

        org     0x0004
isr:    retfie                          ; no interrupts are enabled

main:   banksel OSCCON
        movlw   b'01110000'             ; IRCF = 111: 8 MHz
        movwf   OSCCON
        clrf    ANSEL
        bsf     TRISB, 2                ; RX an input, TX driven by the USART
        bcf     TRISB, 5
        movlw   51
        movwf   SPBRG
        movlw   (1 << TXEN) | (1 << BRGH)
        movwf   TXSTA
        banksel RCSTA
        bsf     PORTB, 5                ; an idle line while the USART starts
        movlw   (1 << SPEN) | (1 << CREN)
        movwf   RCSTA

loop:   clrf    index
next:   movf    index, w
        call    greeting
        iorlw   0
        btfsc   STATUS, Z
        goto    pause
        call    send
        incf    index, f
        goto    next
pause:  call    delay_half_second
        goto    loop

; Sends W when the transmitter can take it.
send:   btfss   PIR1, TXIF
        goto    send
        movwf   TXREG
        return

; About 0.5 s at 2 MIPS: 5 x 256 x 256 x 3 cycles.
delay_half_second:
        movlw   5
        movwf   count3
d3:     clrf    count2
d2:     clrf    count1
d1:     decfsz  count1, f
        goto    d1
        decfsz  count2, f
        goto    d2
        decfsz  count3, f
        goto    d3
        return

; The text, ending in 0; the table stays within one 256-word block.
greeting:
        addwf   PCL, f
        dt      "Hello from the PIC16F88", 13, 10, 0

        end
