#include "silentwebsocket.h"

#include <QTest>

bool SilentWebSocket::open(quint16 port, int timeoutMs)
{
    m_socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1); // each request goes at once
    m_socket.write("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                   "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n");
    QByteArray answer;
    const bool answered = QTest::qWaitFor(
        [&] {
            // One byte at a time, so nothing past the handshake's answer is taken in.
            while (!answer.endsWith("\r\n\r\n") && m_socket.bytesAvailable() > 0)
                answer += m_socket.read(1);
            return answer.endsWith("\r\n\r\n") || m_socket.state() == QAbstractSocket::UnconnectedState;
        },
        timeoutMs);
    // From here on the socket's buffer fills up and the kernel's after it.
    m_socket.setReadBufferSize(1);
    return answered && answer.startsWith("HTTP/1.1 101");
}

void SilentWebSocket::send(const QByteArray &text)
{
    Q_ASSERT(text.size() < 0x10000);
    QByteArray frame(1, char(0x81)); // final text frame
    const char mask[4] = {0x12, 0x34, 0x56, 0x78};
    if (text.size() < 126) {
        frame += char(0x80 | text.size());
    } else {
        frame += char(0x80 | 126);
        frame += char(text.size() >> 8);
        frame += char(text.size() & 0xff);
    }
    frame.append(mask, 4);
    for (int i = 0; i < text.size(); ++i)
        frame += char(text.at(i) ^ mask[i % 4]);
    m_socket.write(frame);
    m_socket.flush();
}
