#include "TcpSocket.h"

bool CTcpSocket::Purge()
{
    uint8_t scrap[256];
    for (;;) {
        const int got = Receive(scrap, sizeof scrap, 0);
        if (got < 0)
            return false;
        if (got == 0)
            return true;
    }
}
