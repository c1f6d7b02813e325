#include "engine/tls_channel.h"
#include <cstring>
#include <new>
#include <string>
#define SECURITY_WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <wincrypt.h>
#include <security.h>
#include <schannel.h>

namespace {

// Room for a whole server flight (certificates included) or several records at once: the
// provider takes records only whole, and a record is at most 16 KiB plus its framing.
constexpr size_t kInputSize = 64 * 1024;

// The certificate is checked by us against the host (verifyServer), not silently by the provider.
constexpr ULONG kRequest = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                           ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_MANUAL_CRED_VALIDATION;

// Owners of the provider's handles: SSPI handles are pairs of words, not pointers, so they carry
// their own "held" mark.
class Credentials {
  public:
    Credentials() = default;
    Credentials(const Credentials&) = delete;
    Credentials& operator=(const Credentials&) = delete;
    ~Credentials() {
        if (held) FreeCredentialsHandle(&handle);
    }
    CredHandle handle{};
    bool held = false;
};

class Context {
  public:
    Context() = default;
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;
    ~Context() {
        if (held) DeleteSecurityContext(&handle);
    }
    CtxtHandle handle{};
    bool held = false;
};

class CertificateRef {
  public:
    CertificateRef() = default;
    CertificateRef(const CertificateRef&) = delete;
    CertificateRef& operator=(const CertificateRef&) = delete;
    ~CertificateRef() {
        if (cert) CertFreeCertificateContext(cert);
    }
    PCCERT_CONTEXT cert = nullptr;
};

class ChainRef {
  public:
    ChainRef() = default;
    ChainRef(const ChainRef&) = delete;
    ChainRef& operator=(const ChainRef&) = delete;
    ~ChainRef() {
        if (chain) CertFreeCertificateChain(chain);
    }
    PCCERT_CHAIN_CONTEXT chain = nullptr;
};

// A token the provider allocated, freed whatever path is taken.
struct ContextBuffer {
    SecBuffer buffer{0, SECBUFFER_TOKEN, nullptr};
    ContextBuffer() = default;
    ContextBuffer(const ContextBuffer&) = delete;
    ContextBuffer& operator=(const ContextBuffer&) = delete;
    ~ContextBuffer() {
        if (buffer.pvBuffer) FreeContextBuffer(buffer.pvBuffer);
    }
};

bool acquire(Credentials& credentials, DWORD protocols) {
    SCHANNEL_CRED cred{};
    cred.dwVersion = SCHANNEL_CRED_VERSION;
    cred.grbitEnabledProtocols = protocols;
    cred.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
    TimeStamp expiry;
    SECURITY_STATUS status = AcquireCredentialsHandleA(nullptr, const_cast<char*>(UNISP_NAME_A), SECPKG_CRED_OUTBOUND,
                                                       nullptr, &cred, nullptr, nullptr, &credentials.handle, &expiry);
    credentials.held = status == SEC_E_OK;
    return credentials.held;
}

}  // namespace

struct TlsChannel::Session {
    Credentials credentials;
    Context context;
    std::string host;
    SecPkgContext_StreamSizes sizes{};
    std::unique_ptr<char[]> input{new (std::nothrow) char[kInputSize]};
    size_t inputLength = 0;
    std::unique_ptr<char[]> plain{new (std::nothrow) char[kInputSize]};
    size_t plainStart = 0;
    size_t plainLength = 0;
    bool closed = false;
    bool renegotiating = false;  // the server asked for a new handshake; records go to it until done
    std::string certificate;     // the server certificate we checked, as encoded

    // Keeps the bytes the provider left unread (`extra` of them at the end of the input).
    void keepExtra(const SecBuffer& extra) {
        if (extra.BufferType == SECBUFFER_EXTRA && extra.cbBuffer > 0 && extra.cbBuffer <= inputLength) {
            std::memmove(input.get(), input.get() + inputLength - extra.cbBuffer, extra.cbBuffer);
            inputLength = extra.cbBuffer;
        } else {
            inputLength = 0;
        }
    }
};

TlsChannel::TlsChannel() : s_(new (std::nothrow) Session) {}
TlsChannel::~TlsChannel() = default;

bool TlsChannel::begin(const char* host) {
    if (!s_ || !s_->input || !s_->plain) {
        status_ = static_cast<uint32_t>(SEC_E_INSUFFICIENT_MEMORY);
        return false;
    }
    s_->host = host;
    // TLS 1.2 and 1.3; a provider that does not know 1.3 gets 1.2 alone.
    if (!acquire(s_->credentials, SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT) &&
        !acquire(s_->credentials, SP_PROT_TLS1_2_CLIENT)) {
        status_ = static_cast<uint32_t>(SEC_E_NO_CREDENTIALS);
        return false;
    }
    ContextBuffer token;
    SecBufferDesc out{SECBUFFER_VERSION, 1, &token.buffer};
    ULONG attributes = 0;
    SECURITY_STATUS status =
        InitializeSecurityContextA(&s_->credentials.handle, nullptr, s_->host.data(), kRequest, 0, 0, nullptr, 0,
                                   &s_->context.handle, &out, &attributes, nullptr);
    if (status != SEC_I_CONTINUE_NEEDED && status != SEC_E_OK) {
        status_ = static_cast<uint32_t>(status);
        return false;
    }
    s_->context.held = true;
    if (token.buffer.pvBuffer) pending.append(static_cast<const char*>(token.buffer.pvBuffer), token.buffer.cbBuffer);
    return true;
}

TlsChannel::Step TlsChannel::handshake() { return handshakeSteps(false); }

// The handshake's steps on what has arrived. A new handshake the server asked for begins with a
// step on whatever came after its request, which may be nothing at all.
TlsChannel::Step TlsChannel::handshakeSteps(bool evenWithoutInput) {
    for (bool first = true;; first = false) {
        if (s_->inputLength == 0 && !(first && evenWithoutInput)) return Step::NeedInput;
        SecBuffer in[2] = {{static_cast<ULONG>(s_->inputLength), SECBUFFER_TOKEN, s_->input.get()},
                           {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc inDesc{SECBUFFER_VERSION, 2, in};
        ContextBuffer token;
        SecBufferDesc out{SECBUFFER_VERSION, 1, &token.buffer};
        ULONG attributes = 0;
        SECURITY_STATUS status =
            InitializeSecurityContextA(&s_->credentials.handle, &s_->context.handle, s_->host.data(), kRequest, 0, 0,
                                       &inDesc, 0, nullptr, &out, &attributes, nullptr);
        // Even a refusal may come with an alert for the server; it goes out before we give up.
        if (token.buffer.pvBuffer && token.buffer.cbBuffer > 0)
            pending.append(static_cast<const char*>(token.buffer.pvBuffer), token.buffer.cbBuffer);
        if (status == SEC_E_INCOMPLETE_MESSAGE) {
            if (s_->inputLength == kInputSize) break;  // a message larger than we can hold
            return Step::NeedInput;
        }
        s_->keepExtra(in[1]);
        if (status == SEC_E_OK) {
            if (QueryContextAttributesA(&s_->context.handle, SECPKG_ATTR_STREAM_SIZES, &s_->sizes) != SEC_E_OK ||
                s_->sizes.cbMaximumMessage == 0)
                break;
            return Step::Done;
        }
        if (status != SEC_I_CONTINUE_NEEDED) {
            status_ = static_cast<uint32_t>(status);
            return Step::Failed;
        }
    }
    status_ = static_cast<uint32_t>(SEC_E_INTERNAL_ERROR);
    return Step::Failed;
}

namespace {

// The bytes of `host` when it is an IPv4 or IPv6 address (4 or 16 of them), else none.
std::string addressBytes(const std::string& host) {
    unsigned char bytes[16];
    if (inet_pton(AF_INET, host.c_str(), bytes) == 1) return std::string(reinterpret_cast<char*>(bytes), 4);
    if (inet_pton(AF_INET6, host.c_str(), bytes) == 1) return std::string(reinterpret_cast<char*>(bytes), 16);
    return {};
}

// True when the certificate's subject alternative names hold the address `bytes`. The system's
// SSL policy matches names alone, and an address is no name.
bool namesAddress(const CERT_CONTEXT* cert, const std::string& bytes) {
    const CERT_INFO* info = cert->pCertInfo;
    const CERT_EXTENSION* extension =
        CertFindExtension(szOID_SUBJECT_ALT_NAME2, info->cExtension, info->rgExtension);
    if (!extension) return false;
    CERT_ALT_NAME_INFO* names = nullptr;
    DWORD size = 0;
    if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, extension->Value.pbData,
                             extension->Value.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr, &names, &size))
        return false;
    bool found = false;
    for (DWORD i = 0; i < names->cAltEntry && !found; ++i) {
        const CERT_ALT_NAME_ENTRY& entry = names->rgAltEntry[i];
        found = entry.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS && entry.IPAddress.cbData == bytes.size() &&
                std::memcmp(entry.IPAddress.pbData, bytes.data(), bytes.size()) == 0;
    }
    LocalFree(names);
    return found;
}

}  // namespace

uint32_t TlsChannel::verifyServer() {
    CertificateRef server;
    SECURITY_STATUS status =
        QueryContextAttributesA(&s_->context.handle, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &server.cert);
    if (status != SEC_E_OK || !server.cert) return static_cast<uint32_t>(SEC_E_CERT_UNKNOWN);

    char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
    LPSTR usages[] = {serverAuth};
    CERT_CHAIN_PARA chainPara{};
    chainPara.cbSize = sizeof chainPara;
    chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
    chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
    chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    ChainRef chain;
    if (!CertGetCertificateChain(nullptr, server.cert, nullptr, server.cert->hCertStore, &chainPara, 0, nullptr,
                                 &chain.chain))
        return GetLastError() ? GetLastError() : static_cast<uint32_t>(SEC_E_CERT_UNKNOWN);

    // The name check wants the host as UTF-16; host names are ASCII, and the code page covers the rest.
    int length = MultiByteToWideChar(CP_ACP, 0, s_->host.c_str(), -1, nullptr, 0);
    std::wstring wideHost(length > 0 ? static_cast<size_t>(length) : 1u, L'\0');
    if (length > 0) MultiByteToWideChar(CP_ACP, 0, s_->host.c_str(), -1, wideHost.data(), length);
    HTTPSPolicyCallbackData ssl{};
    ssl.cbStruct = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    std::string address = addressBytes(s_->host);
    if (!address.empty() && !namesAddress(server.cert, address)) return static_cast<uint32_t>(CERT_E_CN_NO_MATCH);
    ssl.pwszServerName = address.empty() ? wideHost.data() : nullptr;  // an address was checked above
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof policy;
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS result{};
    result.cbSize = sizeof result;
    if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.chain, &policy, &result))
        return GetLastError() ? GetLastError() : static_cast<uint32_t>(SEC_E_CERT_UNKNOWN);
    if (result.dwError) return result.dwError;
    // Some chain engines let the SSL policy pass a chain that ends below any root (its issuer was
    // never found); the chain's own status still says so. Revocation that cannot be checked is no
    // refusal: nothing here asks for it.
    DWORD trust = chain.chain->TrustStatus.dwErrorStatus &
                  ~static_cast<DWORD>(CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION);
    if (trust & CERT_TRUST_IS_PARTIAL_CHAIN) return static_cast<uint32_t>(CERT_E_CHAINING);
    if (trust & CERT_TRUST_IS_UNTRUSTED_ROOT) return static_cast<uint32_t>(CERT_E_UNTRUSTEDROOT);
    if (trust & CERT_TRUST_IS_NOT_TIME_VALID) return static_cast<uint32_t>(CERT_E_EXPIRED);
    if (trust) return static_cast<uint32_t>(TRUST_E_FAIL);
    s_->certificate.assign(reinterpret_cast<const char*>(server.cert->pbCertEncoded), server.cert->cbCertEncoded);
    return 0;
}

TlsChannel::Read TlsChannel::goOnRenegotiating(bool starting) {
    Session& s = *s_;
    switch (handshakeSteps(starting)) {
    case Step::NeedInput:
        // A provider that has nothing to say to the request has not begun a new handshake (some
        // want a record before they take a step at all): the request is ignored, as a client
        // may, and the records that follow are data again.
        if (starting && pending.empty()) s.renegotiating = false;
        return Read::NeedInput;
    case Step::Failed: return Read::Failed;
    case Step::Done: break;
    }
    s.renegotiating = false;
    // A new handshake may bring a new certificate: it must pass as the first one did.
    std::string checked;
    checked.swap(s.certificate);
    CertificateRef server;
    if (QueryContextAttributesA(&s.context.handle, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &server.cert) == SEC_E_OK &&
        server.cert &&
        checked == std::string_view(reinterpret_cast<const char*>(server.cert->pbCertEncoded), server.cert->cbCertEncoded)) {
        s.certificate.swap(checked);
        return Read::Data;
    }
    if (uint32_t error = verifyServer()) {
        status_ = error;
        return Read::Failed;
    }
    return Read::Data;
}

const char* TlsChannel::protocolName() {
    SecPkgContext_ConnectionInfo info{};
    if (QueryContextAttributesA(&s_->context.handle, SECPKG_ATTR_CONNECTION_INFO, &info) != SEC_E_OK) return "TLS";
    if (info.dwProtocol & SP_PROT_TLS1_3_CLIENT) return "TLS 1.3";
    if (info.dwProtocol & SP_PROT_TLS1_2_CLIENT) return "TLS 1.2";
    if (info.dwProtocol & SP_PROT_TLS1_1_CLIENT) return "TLS 1.1";
    if (info.dwProtocol & SP_PROT_TLS1_0_CLIENT) return "TLS 1.0";
    return "TLS";
}

bool TlsChannel::encrypt(std::string_view plain) {
    const SecPkgContext_StreamSizes& sizes = s_->sizes;
    std::string record;
    while (!plain.empty()) {
        size_t n = plain.size() < sizes.cbMaximumMessage ? plain.size() : sizes.cbMaximumMessage;
        record.assign(sizes.cbHeader + n + sizes.cbTrailer, '\0');
        std::memcpy(record.data() + sizes.cbHeader, plain.data(), n);
        SecBuffer parts[4] = {{sizes.cbHeader, SECBUFFER_STREAM_HEADER, record.data()},
                              {static_cast<ULONG>(n), SECBUFFER_DATA, record.data() + sizes.cbHeader},
                              {sizes.cbTrailer, SECBUFFER_STREAM_TRAILER, record.data() + sizes.cbHeader + n},
                              {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc desc{SECBUFFER_VERSION, 4, parts};
        SECURITY_STATUS status = EncryptMessage(&s_->context.handle, 0, &desc, 0);
        if (status != SEC_E_OK) {
            status_ = static_cast<uint32_t>(status);
            return false;
        }
        // The trailer may come out shorter than its room: the record is the three parts as filled.
        pending.append(record.data(), parts[0].cbBuffer);
        pending.append(static_cast<const char*>(parts[1].pvBuffer), parts[1].cbBuffer);
        pending.append(static_cast<const char*>(parts[2].pvBuffer), parts[2].cbBuffer);
        plain.remove_prefix(n);
    }
    return true;
}

TlsChannel::Read TlsChannel::decrypt() {
    Session& s = *s_;
    if (s.closed) return Read::Closed;
    if (s.renegotiating) {
        Read r = goOnRenegotiating(false);
        if (r != Read::Data) return r;
    }
    if (s.inputLength == 0) return Read::NeedInput;
    SecBuffer parts[4] = {{static_cast<ULONG>(s.inputLength), SECBUFFER_DATA, s.input.get()},
                          {0, SECBUFFER_EMPTY, nullptr},
                          {0, SECBUFFER_EMPTY, nullptr},
                          {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc desc{SECBUFFER_VERSION, 4, parts};
    SECURITY_STATUS status = DecryptMessage(&s.context.handle, &desc, 0, nullptr);
    if (status == SEC_E_INCOMPLETE_MESSAGE) {
        if (s.inputLength == kInputSize) {
            status_ = static_cast<uint32_t>(status);
            return Read::Failed;
        }
        return Read::NeedInput;
    }
    if (status == SEC_I_CONTEXT_EXPIRED) {
        s.closed = true;
        return Read::Closed;
    }
    if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE) {
        status_ = static_cast<uint32_t>(status);
        return Read::Failed;
    }
    // The record was decrypted in place: its bytes move out before the unread rest moves down.
    SecBuffer extra{0, SECBUFFER_EMPTY, nullptr};
    for (const SecBuffer& part : parts) {
        if (part.BufferType == SECBUFFER_DATA && part.pvBuffer && part.cbBuffer > 0) {
            if (s.plainLength + part.cbBuffer > kInputSize) {
                status_ = static_cast<uint32_t>(SEC_E_BUFFER_TOO_SMALL);
                return Read::Failed;
            }
            std::memmove(s.plain.get() + s.plainLength, part.pvBuffer, part.cbBuffer);
            s.plainLength += part.cbBuffer;
        }
        if (part.BufferType == SECBUFFER_EXTRA) extra = part;
    }
    s.keepExtra(extra);
    // A new handshake (TLS 1.2 renegotiation) or messages after the handshake (TLS 1.3 session
    // tickets, a key update) go to the handshake with the bytes that came after them; its answers
    // wait in `pending`, to be sent at once.
    if (status == SEC_I_RENEGOTIATE) {
        s.renegotiating = true;
        if (goOnRenegotiating(true) == Read::Failed) return Read::Failed;
    }
    return Read::Data;
}

size_t TlsChannel::take(char* dst, size_t size) {
    Session& s = *s_;
    size_t n = s.plainLength - s.plainStart < size ? s.plainLength - s.plainStart : size;
    std::memcpy(dst, s.plain.get() + s.plainStart, n);
    s.plainStart += n;
    if (s.plainStart == s.plainLength) s.plainStart = s.plainLength = 0;
    return n;
}

char* TlsChannel::inputSpace(size_t& room) {
    room = kInputSize - s_->inputLength;
    return s_->input.get() + s_->inputLength;
}

void TlsChannel::received(size_t count) { s_->inputLength += count; }
