; Self-check of the chip model: the chip erases a row, writes a full group of
; four words and a partial one (one of its words with a broken 55h/AAh/WR
; sequence, which must not be written), reads a word back and sends it, sends
; 0x11 from a read whose next two words (loading 0x22, 0x33) are ignored, then
; echoes one byte from the line plus one. PIC16F88, USART at 19200 baud from 8 MHz.
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
        t_lo, t_hi
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
        ; echo one byte plus one
echo    banksel PIR1
        btfss   PIR1, RCIF
        goto    echo
        movf    RCREG, W
        addlw   1
        call    send
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
send    banksel PIR1
wait_tx btfss   PIR1, TXIF
        goto    wait_tx
        movwf   TXREG
        return
        end
