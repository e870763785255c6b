; Fernbow bootloader for the PIC16F819.
;
; Runs from word 0x760 (ENTRY) to 0x7FF, 160 words, with its extension in
; the five rows 0x6A0-0x73F (START) below the moved vector's row 0x740.
; Serial line on RB2 (RX) and RB5 (TX) by a software UART, 19200 8N1 and
; 38400 after a 'B': the same pins as the PIC16F88's USART, so one board
; serves both chips. Answers the wake-up with "8", 0x12.
; Behaviour, windows and time-outs: boot-core.inc, boot-ext.inc, README.md.
;
; Words each section costs (from the listing):
;   loader, 0x760-0x7FF
;     start-up                           11
;     wake-up answer, listen             20
;     frame in, drain, "N"               14
;     erase                               4
;     write, 4-word groups               13
;     read-back                          18
;     "K" / "S"                           4
;     row address                         5
;     unlock sequence, read, fetch       16
;     byte or time-out                   14
;     start the program                   0 (the time-out's STATUS, a goto)
;     receive                            13
;     send                               14
;     delays                              5
;     total                             151 of 160
;   extension, 0x6A0-0x73F
;     frame or extended                   4
;     command ('W' on as a frame)        18
;     frame checks, row 0's jump         28
;     'W' compare, a difference erases   10
;     'E' data EEPROM                    32
;     'A' ask                            10
;     'R' read                           18
;     silence, back to 19200              5
;     'R' send with check                 2
;     'B' rate code, answer, switch      11
;     rate and unit set                  14
;     total                             152 of 160
;
; Configuration: internal oscillator with RA6/RA7 as I/O, watchdog off,
; power-up timer on, MCLR as reset, brown-out reset off (its 4 V trip point
; would hold a 3.3 V board in reset), low-voltage programming off (RB3 is
; an ordinary pin), no code or data protection, CCP1 on RB2 (the default).

        list    p=16f819
        #include <p16f819.inc>
        errorlevel -302         ; banks are chosen by hand below

        __config _INTRC_IO & _WDT_OFF & _PWRTE_ON & _MCLR_ON & _BOREN_OFF & _LVP_OFF & _CPD_OFF & _WRT_ENABLE_OFF & _DEBUG_OFF & _CCP1_RB2 & _CP_OFF

ENTRY   equ     0x760
EXT_ROWS equ    5
; 'A' answer: 38400, read, EEPROM write, write if different.
ABIL    equ     0x39
CHIP    equ     '8'
RX      equ     2
TX      equ     5

; The core works in bank 2: EEADR/EEDATA, the frame and PORTB (0x106) are
; all there, so only EECON1/EECON2 need a switch (to bank 3).
INIT    macro
        bsf     PORTB,TX        ; latch high first: the pin starts idle
        bsf     STATUS,RP0      ; bank 1
        movlw   (1 << IRCF2) | (1 << IRCF1) | (1 << IRCF0)
        movwf   OSCCON          ; 8 MHz
        bcf     TRISB,TX
        call    Slow            ; bit timing for 19200 (RAM survives a reset)
        endm
; Every listen starts in bank 2 with IRP set (FSR reaches 0x100-0x1FF): a
; time-out clears STATUS.
LISTEN_BANK macro
        movlw   (1 << IRP) | (1 << RP1)
        movwf   STATUS
        endm
TIMEOUT macro
        clrf    STATUS          ; bank 0, IRP clear: as the program starts
        endm
CORE_BANK macro
        ; already in bank 2 (an empty macro body upsets gpasm 1.4)
        endm
RX_BANK macro
        ; PORTB is at 0x106 as well
        endm
IF_BYTE macro
        btfss   PORTB,RX        ; a start bit pulls RX low
        endm
; Word 0 as the host writes it: goto ENTRY.
JUMP0   macro
        SAME    0, 0x2800 | ENTRY
        endm
; A listen that heard nothing leaves by the time-out, which has cleared
; STATUS (bank 0, IRP clear); PCLATH is still 0, which the host's moved
; words expect. RB5 stays an output, driven high (the line's idle level):
; the two words restoring TRISB went to the row-0 check.
#define RUN_AT MOVED
RUN     macro
        ; nothing left to do (an empty macro body upsets gpasm 1.4)
        endm

        org     0
        goto    ENTRY           ; the host writes the same jump

        #include "boot-core.inc"

; ---- software UART ------------------------------------------------------
; 19200 baud at 2 MHz instruction rate: 104.17 cycles a bit; 38400: 52.08.
; A call of BitDelay costs 3 x bitk + 5 cycles (95 at 19200, bitk = 30; 44 at
; 38400, bitk = 13); Delay with W = k, 3k + 4. The first delay is half
; (50 at 19200, 23 at 38400); Slow and Rate set both.
;
; At 38400: the first sample falls at edge + t + 3 x 23 + 11 = 80..85 cycles
; against the ideal 78.1; each next one 51 cycles on (7 + 44) against 52.08,
; so the eighth falls at 437..442 against 442.7: -6..+7 cycles from the
; middle of every bit, an eighth of a bit. RxByte returns about 490 cycles
; after the start edge and the frame loop polls again at about 502, before
; the next start edge of a byte sent back to back (520.8). Sending, a bit is
; 3 x 13 + 14 = 53 cycles against 52.08: the host samples the stop bit
; 8.7 cycles late of its middle, a sixth of a bit. After an answer the
; loader polls again about 15 cycles after the stop bit has started, 11
; before the host can have heard it.

; Entered 3 to 7 cycles after the start edge was seen (IF_BYTE, goto).
; The first sample falls at edge + t + 3 x 50 + 11 cycles, t in 0..5 from the
; polling: 161..166 against the ideal 156 (middle of bit 0). Each next
; sample is 102 cycles on (1 + 2 + 1 + 95 + 1 + 2) against 104.17, so the
; eighth comes 15 cycles early relative to the first: -10..+10 cycles from
; the middle of every bit, a tenth of a bit. The marker bit 0x80 falls into
; C after the eighth shift and ends the loop (C set: a byte); the last
; BitDelay runs into the stop bit, so the caller cannot mistake a low bit 7
; for the next start.
RxByte: movlw   0x80
        movwf   INDF
        movf    half,w
        call    Delay
RxBit:  bcf     STATUS,C
        btfsc   PORTB,RX
        bsf     STATUS,C
        rrf     INDF,f
        call    BitDelay
        btfss   STATUS,C
        goto    RxBit
        movf    INDF,w
        return

; Ten passes of 95 + 4 + 1 + 1 + 1 + 2 = 104 cycles (53 at 38400), each a
; bit's delay, then the next level on the line: the first delay is the
; stop bit of the byte before (or idle line), then the start bit, eight data
; bits and the stop bit go out. Tx returns as soon as the stop bit is on the
; line: the loader listens again well before a host that answers at once
; (it hears the byte in the middle of the stop bit) can start its next byte.
; The counter is sum, so sum is 0 afterwards; W = SESSION for Listen.
Tx:     movwf   txb
        movlw   .10
        movwf   sum
        bcf     STATUS,C        ; the start bit
TxBit:  call    BitDelay        ; the bit before (leaves C alone)
        btfss   STATUS,C
        bcf     PORTB,TX
        btfsc   STATUS,C
        bsf     PORTB,TX
        bsf     STATUS,C        ; shifted in: the stop bit after bit 7
        rrf     txb,f
        decfsz  sum,f
        goto    TxBit
        retlw   SESSION

BitDelay:
        movf    bitk,w
Delay:  movwf   dly             ; 3 x W + 4 cycles with the call's return
        decfsz  dly,f
        goto    $-1
        return

        if $ > 0x800
        error "the loader does not fit below 0x800"
        endif

        org     START
        #include "boot-ext.inc"

; ---- rates ----------------------------------------------------------------
; Rate code 1 alone: 38400.
Baud:   decf    body,w
        btfss   STATUS,Z
        goto    Drain
        movlw   'B'
        call    Tx              ; at 19200; returns with its stop bit on the line,
                                ; which stays there whatever the rate
        movlw   .23
        movwf   half
        movlw   .13
        call    Rate
        movlw   SESSION         ; 154 ms for 0xC1 at the new rate
        goto    Asleep

; 'R': sends W and keeps chk = minus the sum sent; returns in bank 2.
Send:   subwf   chk,f
        goto    Tx              ; it stays in bank 2

; ---- rates, continued -----------------------------------------------------
Slow:   movlw   UNIT_H
        movwf   unith
        movlw   .50
        movwf   half
        movlw   .30
        goto    Switch
Rate:   movwf   dly             ; bitk's new value (Delay is not running)
        movlw   FAST_H
        movwf   unith
        movf    dly,w
Switch: xorwf   bitk,w
        xorwf   bitk,f          ; bitk = the new value
        iorlw   0               ; Z: it was so already
        return

        if $ > MROW
        error "the extension does not fit below the moved vector's row"
        endif
        end
