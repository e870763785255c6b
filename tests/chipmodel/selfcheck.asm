; Self-check of the chip model: the chip erases a row, writes a full group of
; four words and a partial one (one of its words with a broken 55h/AAh/WR
; sequence, which must not be written), reads a word back and sends it, sends
; 0x11 from a read whose next two words (loading 0x22, 0x33) are ignored.
; Data EEPROM checks follow (sent as bytes), then an echo of one byte plus
; one, which becomes SPBRG: at that rate a frame in, then back four times
; (whole: gpsim's USART can stop sending, TXIF clear, when a byte comes in
; while it sends back to back). PIC16F88, 8 MHz, 19200 baud.
        processor p16f88
        include <p16f88.inc>
        __config _CONFIG1, _INTRC_IO & _WDT_OFF & _LVP_OFF & _MCLR_ON
        __config _CONFIG2, _IESO_OFF & _FCMEN_OFF

ROW     equ     0x100
; writes the word at EEADR, then steps EEADR
PUT     macro   word
        movlw   HIGH word
        movwf   t_hi
        movlw   LOW word
        call    write_word
        endm
        cblock  0x70                ; shared by all banks
        t_lo, t_hi, cnt_lo, cnt_hi
        endc

        org     0
        banksel OSCCON
        movlw   0x70                ; 8 MHz internal
        movwf   OSCCON
        banksel PORTB
        bsf     PORTB, 5            ; TX idles high before the pin turns output
        banksel TRISB
        bcf     TRISB, 5
        bsf     TRISB, 2
        movlw   .25                 ; 8 MHz / (16 * (25 + 1)) = 19231 baud
        movwf   SPBRG
        movlw   (1 << TXEN) | (1 << BRGH)
        movwf   TXSTA
        banksel RCSTA
        movlw   (1 << SPEN) | (1 << CREN)
        movwf   RCSTA

        ; erase the row
        movlw   LOW ROW
        call    set_addr
        banksel EECON1
        movlw   (1 << EEPGD) | (1 << FREE) | (1 << WREN)
        movwf   EECON1
        call    unlock_go
        ; a full group: 0x100..0x103 = 0x1234 0x0567 0x2ABC 0x3DEF
        movlw   0x00
        call    set_addr
        PUT     0x1234
        PUT     0x0567
        PUT     0x2ABC
        PUT     0x3DEF
        ; a partial group: 0x104 and 0x107 only; 0x105 and 0x106 stay erased
        movlw   0x04
        call    set_addr
        PUT     0x0111
        ; 0x105 (0x104's data again): a word between AAh and WR breaks the sequence
        banksel EECON1
        movlw   (1 << EEPGD) | (1 << WREN)
        movwf   EECON1
        movlw   0x55
        movwf   EECON2
        movlw   0xAA
        movwf   EECON2
        nop
        bsf     EECON1, WR
        nop
        nop
        movlw   0x07
        call    set_addr
        PUT     0x0777
        ; read 0x102 back and send it, low byte first
        movlw   0x02
        call    set_addr
        banksel EECON1
        bsf     EECON1, EEPGD
        bsf     EECON1, RD
        nop
        nop
        banksel EEDATA
        movf    EEDATA, W
        call    send
        banksel EEDATH
        movf    EEDATH, W
        call    send
        banksel EECON1
        movlw   0x11
        bsf     EECON1, RD
        movlw   0x22                ; ignored
        movlw   0x33                ; ignored
        call    send

        ; the data EEPROM: byte 0 from this file, byte 2 erased
        movlw   0
        call    ee_send
        movlw   2
        call    ee_send
        ; 0xC3 to byte 1: the CPU runs on while WR stays set (4 ms: 8000 cycles)
        clrf    cnt_lo
        clrf    cnt_hi
        banksel EEADR
        movlw   1
        movwf   EEADR
        movlw   0xC3
        movwf   EEDATA
        banksel EECON1
        movlw   (1 << WREN)         ; EEPGD clear: the data EEPROM
        movwf   EECON1
        call    unlock_go
        banksel EECON1
ee_wait incf    cnt_lo, F           ; six cycles a turn
        btfsc   STATUS, Z
        incf    cnt_hi, F
        btfsc   EECON1, WR
        goto    ee_wait
        movf    cnt_hi, W
        call    send
        movf    PIR2, W             ; send left bank 0
        andlw   (1 << EEIF)
        call    send
        ; 0x77 to byte 1 without 55h/AAh: byte 1 stays 0xC3
        banksel EEDATA
        movlw   0x77
        movwf   EEDATA
        banksel EECON1
        bsf     EECON1, WREN
        bsf     EECON1, WR
        movlw   1
        call    ee_send

        ; echo one byte plus one; the byte is SPBRG from then on
        call    receive
        movwf   t_lo
        addlw   1
        call    send
        banksel TXSTA
wait_out btfss  TXSTA, TRMT         ; the echo has left
        goto    wait_out
        movf    t_lo, W
        movwf   SPBRG
        movlw   0x20                ; a frame of 68, one byte left out on the
        movwf   FSR                 ; line, into bank 0 RAM
take    call    receive
        movwf   INDF
        incf    FSR, F
        movlw   0x20 + .67
        xorwf   FSR, W
        btfss   STATUS, Z
        goto    take
        movlw   4                   ; sent back four times over, each byte
        movwf   cnt_hi              ; plus one: 268 bytes back to back
again   movlw   0x20
        movwf   FSR
give    incf    INDF, W
        call    send
        incf    FSR, F
        movlw   0x20 + .67
        xorwf   FSR, W
        btfss   STATUS, Z
        goto    give
        decfsz  cnt_hi, F
        goto    again
done    goto    done

; EEADRH:EEADR = 0x01:W
set_addr
        banksel EEADR
        movwf   EEADR
        movlw   HIGH ROW
        movwf   EEADRH
        return
; writes t_hi:W at EEADR, then steps EEADR
write_word
        banksel EEDATA
        movwf   EEDATA
        movf    t_hi, W
        movwf   EEDATH
        banksel EECON1
        movlw   (1 << EEPGD) | (1 << WREN)
        movwf   EECON1
        call    unlock_go
        banksel EEADR
        incf    EEADR, F
        return
unlock_go
        banksel EECON2
        movlw   0x55
        movwf   EECON2
        movlw   0xAA
        movwf   EECON2
        bsf     EECON1, WR
        nop
        nop
        bcf     EECON1, WREN
        return
; sends the data EEPROM byte at W
ee_send banksel EEADR
        movwf   EEADR
        banksel EECON1
        bcf     EECON1, EEPGD
        bsf     EECON1, RD
        banksel EEDATA
        movf    EEDATA, W
        goto    send
receive banksel PIR1
wait_rx btfss   PIR1, RCIF
        goto    wait_rx
        movf    RCREG, W
        return
send    banksel PIR1
wait_tx btfss   PIR1, TXIF
        goto    wait_tx
        movwf   TXREG
        return

        org     0x2100              ; the data EEPROM's first byte
        de      0x5A
        end
