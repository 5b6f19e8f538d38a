#pragma once
// A TWSocket without a peer: what it receives comes from the test (Deliver), what it sends is
// recorded (Sent). It stands on an idle datagram socket of 127.0.0.1 that nothing ever reaches, so
// that the socket library's calls on its handle answer as for a connection with nothing waiting.
// For the fuzz targets and the protocol clients' tests.

#include "net/WSocket.h"

#include <string>

class TMemoryWSocket : public TWSocket {
public:
    explicit TMemoryWSocket(TComponent* AOwner = nullptr);

    // Connected, as after the connect-done event.
    void Open();
    // Connects at once to nobody, whatever Addr and Port say: OnSessionConnected(0) comes from
    // inside the call (for the protocol clients, which connect by themselves).
    void Connect() override;
    // Connected to a proxy at level ("4", "4A" or "5"), the negotiation for Addr and port 8080 begun
    // as after the proxy's connect-done event.
    void OpenThroughProxy(const std::string& level, bool authenticate, const std::string& addr);
    // Bytes arriving in one reception, handled as the data event of the socket handles them.
    void Deliver(const std::string& bytes);

    std::string Sent;

protected:
    int DoRecv(void* Buffer, int BufferSize, int Flags) override;
    int RealSend(const void* Data, int Len) override;

private:
    // True when a layer serves this receive from its own buffer.
    bool LayerHoldsData() const;
    void TakeIdleSocket();

    std::string FIncoming;
};
