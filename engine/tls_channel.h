// One TLS session of an https transfer through the platform's TLS provider. It never touches the
// socket: the connection layer sends what `pending` holds and hands over what it receives, so the
// poll ticks, time-outs and stop/delete checks of plain connections apply to the handshake and the
// body alike.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class TlsChannel {
  public:
    TlsChannel();
    ~TlsChannel();
    TlsChannel(const TlsChannel&) = delete;
    TlsChannel& operator=(const TlsChannel&) = delete;

    // Takes credentials and puts the first handshake message into `pending`; false when the
    // provider refuses (status() says why).
    bool begin(const char* host);

    enum class Step { NeedInput, Done, Failed };
    // Goes on with the handshake on the bytes received so far; its answers go to `pending`.
    Step handshake();

    // 0 when the platform's chain engine trusts the server's certificate for the host given to
    // begin(), otherwise its error code.
    uint32_t verifyServer();
    // "TLS 1.2", "TLS 1.3", ... as the session was agreed.
    const char* protocolName();

    // Appends `plain` to `pending` as records; false when the provider refuses.
    bool encrypt(std::string_view plain);

    enum class Read {
        Data,       // a record was taken: take() has its bytes (possibly none)
        NeedInput,  // a record is not complete yet: receive more
        Closed,     // the server ended the session with close_notify
        Failed,     // a record the provider refuses
    };
    // When the server asks for a new handshake, the records that follow go to it until it is done
    // (its answers wait in `pending`), and a certificate it brings is checked again.
    Read decrypt();
    // Moves up to `size` decrypted bytes to `dst`; the count moved.
    size_t take(char* dst, size_t size);

    // Room for received bytes (none when a record would not fit), and how many were put there.
    char* inputSpace(size_t& room);
    void received(size_t count);

    // The provider's status of the last refusal, for the log.
    uint32_t status() const { return status_; }

    std::string pending;  // bytes for the server, to be sent before anything else

  private:
    Step handshakeSteps(bool evenWithoutInput);
    Read goOnRenegotiating(bool starting);

    struct Session;
    std::unique_ptr<Session> s_;
    uint32_t status_ = 0;
};
