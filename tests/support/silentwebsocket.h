// A WebSocket client written by hand that reads nothing once its handshake is
// answered: the peer that never reads, and so never answers a ping either.
//
//     SilentWebSocket peer;
//     QVERIFY(peer.open(port));
//     peer.send(R"({"req_code":1,"id":100001,"password":"demo123","type":3})");
#pragma once

#include <QTcpSocket>

class SilentWebSocket
{
public:
    // Waits, running the calling thread's events, until the server took the handshake.
    bool open(quint16 port, int timeoutMs = 20000);
    void send(const QByteArray &text); // one masked text frame, under 64 KiB

protected:
    QTcpSocket m_socket;
};
