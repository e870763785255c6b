#include "TcpSocket.h"

PortResult CTcpSocket::Purge()
{
    return DrainStream(*this, kDrainBoundMs);
}
