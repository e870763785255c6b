; Fernbow bootloader for the PIC16F88.
;
; Runs from word 0xF60 (ENTRY) to 0xFFF, 160 words, in program page 1, with
; its extension in the five rows 0xEA0-0xF3F (START) below the moved
; vector's row 0xF40: the host's jump at word 0 sets PCLATH bit 3 before it
; jumps here, and the loader leaves it set, so the moved words at 0xF5C run
; with PCLATH = 0x08 as the host expects. Serial line on the USART, RB2 (RX)
; and RB5 (TX): 19200 8N1, and 38400, 125000 or 250000 after a 'B'.
; Answers the wake-up with "H", 0x12.
; Behaviour, windows and time-outs: boot-core.inc, boot-ext.inc, README.md.
;
; Words each section costs (from the listing):
;   loader, 0xF60-0xFFF
;     start-up                           17
;     wake-up answer, listen             18
;     frame in, drain, "N"               14
;     erase                               4
;     write, 4-word groups               13
;     read-back                          18
;     "K" / "S"                           4
;     row address                         5
;     unlock sequence, read, fetch       16
;     byte or time-out                   15
;     start the program                   5
;     receive                             4
;     send                                8
;     'B' rate code, answer, switch      17
;     total                             158 of 160
;   extension, 0xEA0-0xF3F
;     frame or extended                   5
;     command ('W' on as a frame)        18
;     frame checks, row 0's jump         34
;     'W' compare, a difference erases   10
;     'E' data EEPROM                    32
;     'A' ask                            10
;     'R' read                           18
;     silence, back to 19200              5
;     'R' send with check                 4
;     rate and unit set, wait for line   15
;     total                             151 of 160
;
; Configuration: internal oscillator with RA6/RA7 as I/O, watchdog off,
; power-up timer on, MCLR as reset, brown-out reset off (its 4 V trip point
; would hold a 3.3 V board in reset), low-voltage programming off (RB3 is
; an ordinary pin), no code or data protection, CCP1 on RB0 (the default);
; fail-safe clock monitor and two-speed start-up off.

        list    p=16f88
        #include <p16f88.inc>
        errorlevel -302         ; banks are chosen by hand below

        __config _CONFIG1, _INTRC_IO & _WDT_OFF & _PWRTE_ON & _MCLR_ON & _BOREN_OFF & _LVP_OFF & _CPD_OFF & _WRT_PROTECT_OFF & _DEBUG_OFF & _CCP1_RB0 & _CP_OFF
        __config _CONFIG2, _FCMEN_OFF & _IESO_OFF

ENTRY   equ     0xF60
EXT_ROWS equ    5
; 'A' answer: 38400, 125000, 250000, read, EEPROM write, write if different.
ABIL    equ     0x3F
CHIP    equ     'H'
RX      equ     2
TX      equ     5

; 19200 baud from 8 MHz with BRGH = 1: 8 000 000 / (16 x (25 + 1)) = 19231,
; 0.16 % fast.
BAUD    equ     .25

; The serial routines work in bank 0 (PIR1, RCREG, TXREG, RCSTA), the core in
; bank 2 (EEADR/EEDATA, the frame).
INIT    macro
        bsf     PORTB,TX        ; latch high first: the pin starts idle
        call    Slow            ; SPBRG for 19200
        bsf     STATUS,RP0      ; bank 1
        movlw   (1 << IRCF2) | (1 << IRCF1) | (1 << IRCF0)
        movwf   OSCCON          ; 8 MHz
        bcf     TRISB,TX        ; the USART drives RB5 either way; some models only as an output
        movlw   (1 << TXEN) | (1 << BRGH)
        movwf   TXSTA
        movlw   (1 << IRP)
        movwf   STATUS          ; bank 0, FSR reaches 0x100-0x1FF
        movlw   (1 << SPEN) | (1 << CREN)
        movwf   RCSTA
        endm
LISTEN_BANK macro
        ; bank 0 with IRP set throughout (an empty macro body upsets gpasm 1.4)
        endm
TIMEOUT macro
        bcf     STATUS,C
        endm
#define RUN_AT Run
CORE_BANK macro
        bsf     STATUS,RP1
        endm
RX_BANK macro
        bcf     STATUS,RP1
        endm
IF_BYTE macro
        btfsc   PIR1,RCIF
        endm
; Word 0 as the host writes it: bsf PCLATH,3 / goto ENTRY.
JUMP0   macro
        SAME    0, 0x1400 | (3 << 7) | PCLATH
        SAME    1, 0x2800 | (ENTRY & 0x7FF)
        endm
; Reset state again where the program may count on it: RB2 and RB5 plain
; inputs, EECON1 clear (WREN too), bank 0, IRP clear. PCLATH stays 0x08
; (see above).
RUN     macro
        clrf    RCSTA
        bsf     STATUS,RP0      ; bank 1
        bsf     TRISB,TX
        clrf    STATUS
        goto    MOVED
        endm

        org     0
        bsf     PCLATH,3        ; the host writes the same two words
        goto    ENTRY

        #include "boot-core.inc"

; ---- USART --------------------------------------------------------------
RxByte: movf    RCREG,w
        movwf   INDF
        bsf     STATUS,C
        return

; Toggling CREN clears an overrun: bytes sent while the CPU stood still for
; a flash write must not leave the receiver deaf.
Tx:     bcf     STATUS,RP1
        btfss   PIR1,TXIF
        goto    $-1
        bcf     RCSTA,CREN
        bsf     RCSTA,CREN
        movwf   TXREG
        clrf    sum
        retlw   SESSION

; ---- rates ----------------------------------------------------------------
; Rate code (body) 1, 2, 3: 38400 (SPBRG 12, 38462, 0.16 % fast), 125000
; (SPBRG 3) and 250000 (SPBRG 1), exact at 8 MHz with BRGH = 1.
Baud:   decf    body,w
        sublw   .2              ; 3 - code: 2, 1, 0; C clear for another code
        btfss   STATUS,C
        goto    Drain
        movwf   chk
        movlw   .1              ; 250000
        btfsc   chk,0
        movlw   .3              ; 125000
        btfsc   chk,1
        movlw   .12             ; 38400
        movwf   chk
        movlw   'B'
        call    Tx              ; at the old rate
        movf    chk,w
        call    Rate            ; once the 'B' has left
        movlw   SESSION         ; 154 ms for 0xC1 at the new rate
        goto    Asleep

        if $ > 0x1000
        error "the loader does not fit below 0x1000"
        endif

        org     START
        #include "boot-ext.inc"

; 'R': sends W and keeps chk = minus the sum sent; returns in bank 2.
Send:   subwf   chk,f
        call    Tx
        bsf     STATUS,RP1      ; back to bank 2
        return

; ---- rates, continued -----------------------------------------------------
; Slow: back to 19200; Rate: to SPBRG = chk, with short units. Called and
; return in bank 0. Wait until the last byte has left at the old rate. Z set
; when the rate was so already.
Slow:   movlw   UNIT_H
        movwf   unith
        movlw   BAUD
        goto    Switch
Rate:   movlw   FAST_H
        movwf   unith
        movf    chk,w
Switch: bsf     STATUS,RP0
        btfss   TXSTA,TRMT
        goto    $-1
        xorwf   SPBRG,w
        xorwf   SPBRG,f         ; SPBRG = the new value
        bcf     STATUS,RP0
        iorlw   0               ; Z: old and new the same
        return

        if $ > MROW
        error "the extension does not fit below the moved vector's row"
        endif
        end
