#include "TcpSocket.h"

bool CTcpSocket::Purge()
{
    return DrainStream(*this, kDrainBoundMs);
}
