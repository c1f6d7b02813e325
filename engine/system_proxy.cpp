#include "engine/system_proxy.h"
#include "common/proxy_rules.h"
#include "common/win_handles.h"
#include <cstring>
#include <windows.h>
#include <winhttp.h>

namespace {

constexpr char kInternetSettings[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

// WinHTTP's handles are not kernel handles; their owner stays here, the only place that opens one.
struct InternetTraits {
    using Type = HINTERNET;
    static HINTERNET empty() { return nullptr; }
    static void close(HINTERNET h) { WinHttpCloseHandle(h); }
};
using InternetHandle = Owned<InternetTraits>;

// A text value as long as it is: a company's bypass list easily runs to thousands of characters,
// and a cut one would send some of its hosts through the proxy.
std::string registryText(HKEY key, const char* name) {
    DWORD size = 0;
    DWORD type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return {};
    std::string value(size + 1, '\0');
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value.data()), &size) != ERROR_SUCCESS)
        return {};
    value.resize(std::strlen(value.c_str()));  // the stored text may end in a NUL or not
    return value;
}

// The fixed proxy of the settings, or empty when it is off, names none for the scheme, or the
// bypass list names the host.
std::string fixedProxyFor(const UrlTarget& target) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kInternetSettings, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return {};
    RegistryKey key(opened);
    DWORD enabled = 0;
    DWORD size = sizeof enabled;
    DWORD type = 0;
    if (RegQueryValueExA(key.get(), "ProxyEnable", nullptr, &type, reinterpret_cast<BYTE*>(&enabled), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || enabled == 0)
        return {};
    std::string server = proxyServerFor(registryText(key.get(), "ProxyServer"), target.scheme);
    if (server.empty() || proxyBypassed(registryText(key.get(), "ProxyOverride"), target.host)) return {};
    return server;
}

std::wstring wide(const std::string& text) {
    int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (length <= 0) return {};
    std::wstring out(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, out.data(), length);
    out.resize(static_cast<size_t>(length - 1));
    return out;
}

std::string narrow(const wchar_t* text) {
    int length = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return {};
    std::string out(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, out.data(), length, nullptr, nullptr);
    out.resize(static_cast<size_t>(length - 1));
    return out;
}

enum class AutoAnswer { NotSet, Failed, Answered };

// Asks the automatic configuration, when one is set, which proxy serves `url`; `error` is
// WinHTTP's reason when it failed.
AutoAnswer automaticProxyFor(const std::string& url, std::string& server, unsigned long& error) {
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config{};
    if (!WinHttpGetIEProxyConfigForCurrentUser(&config)) return AutoAnswer::NotSet;
    GlobalBlock scriptUrl(config.lpszAutoConfigUrl), fixed(config.lpszProxy), bypass(config.lpszProxyBypass);
    if (!config.fAutoDetect && !config.lpszAutoConfigUrl) return AutoAnswer::NotSet;

    InternetHandle session(WinHttpOpen(L"Quovar", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                       WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session.valid()) {
        error = GetLastError();
        return AutoAnswer::Failed;
    }
    WINHTTP_AUTOPROXY_OPTIONS options{};
    if (config.fAutoDetect) {
        options.dwFlags |= WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    }
    if (config.lpszAutoConfigUrl) {
        options.dwFlags |= WINHTTP_AUTOPROXY_CONFIG_URL;
        options.lpszAutoConfigUrl = config.lpszAutoConfigUrl;
    }
    options.fAutoLogonIfChallenged = TRUE;
    WINHTTP_PROXY_INFO info{};
    std::wstring wideUrl = wide(publicUrl(url));
    if (!WinHttpGetProxyForUrl(session.get(), wideUrl.c_str(), &options, &info)) {
        error = GetLastError();
        bool nothingFound = error == ERROR_WINHTTP_AUTODETECTION_FAILED && !config.lpszAutoConfigUrl;
        return nothingFound ? AutoAnswer::NotSet : AutoAnswer::Failed;
    }
    GlobalBlock proxy(info.lpszProxy), proxyBypass(info.lpszProxyBypass);
    if (info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY && info.lpszProxy) server = narrow(info.lpszProxy);
    return AutoAnswer::Answered;
}

}  // namespace

struct SystemProxyQuestion::Shared {
    std::string url;
    UrlTarget target;
    SystemProxy answer;  // written by the question's thread before it sets `done`
    int32_t done = 0;
};

namespace {

DWORD WINAPI askSystem(void* parameter) {
    std::unique_ptr<std::shared_ptr<SystemProxyQuestion::Shared>> held(
        static_cast<std::shared_ptr<SystemProxyQuestion::Shared>*>(parameter));
    SystemProxyQuestion::Shared& shared = **held;
    shared.answer = systemProxyFor(shared.url, shared.target);
    __atomic_store_n(&shared.done, 1, __ATOMIC_RELEASE);
    return 0;
}

}  // namespace

void SystemProxyQuestion::start(const std::string& url, const UrlTarget& target) {
    shared_ = std::make_shared<Shared>();
    shared_->url = url;
    shared_->target = target;
    auto* held = new std::shared_ptr<Shared>(shared_);
    HANDLE thread = CreateThread(nullptr, 0, askSystem, held, 0, nullptr);
    if (thread) {
        CloseHandle(thread);
        return;
    }
    delete held;
    shared_->answer = systemProxyFor(url, target);
    shared_->done = 1;
}

bool SystemProxyQuestion::answered() const { return __atomic_load_n(&shared_->done, __ATOMIC_ACQUIRE) != 0; }

const SystemProxy& SystemProxyQuestion::answer() const { return shared_->answer; }

SystemProxy systemProxyFor(const std::string& url, const UrlTarget& target) {
    SystemProxy proxy;
    std::string automatic;
    unsigned long error = 0;
    switch (automaticProxyFor(url, automatic, error)) {
    case AutoAnswer::Answered: proxy.server = proxyServerFor(automatic, target.scheme); return proxy;
    case AutoAnswer::Failed: proxy.scriptError = error != 0 ? error : ERROR_WINHTTP_INTERNAL_ERROR; break;
    case AutoAnswer::NotSet: break;
    }
    proxy.server = fixedProxyFor(target);
    return proxy;
}
