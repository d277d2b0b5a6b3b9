#pragma once

#include <cstdint>
#include <istream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace pv::http {

using ByteArray = std::vector<std::uint8_t>;

// A value written to or read from an option: nothing, an integer, a text or bytes.
using OptionValue = std::variant<std::monostate, std::int32_t, std::string, ByteArray>;

// Option indexes. Where the platform's request component has the same option, the index is
// the same.
enum RequestOption : int {
    kOptionUserAgent = 0,               // text, read only: the User-Agent of the last request
    kOptionUrl = 1,                     // text, read only: the URL of the response, after redirects
    kOptionIgnoreCertificateErrors = 4, // integer: non-zero skips the server certificate checks
    kOptionFollowRedirects = 6,         // integer: 0 off, otherwise on (the default)
    kOptionHttpsToHttpRedirects = 12,   // integer: non-zero allows a redirect from https to http
    kOptionCaFile = 100,  // text: a PEM file of trusted certificates instead of the system's
    kOptionBodyCap = 101, // integer: the most body bytes kept (default and upper limit 8 MiB)
};

// Proxy settings of SetProxy.
enum ProxySetting : int {
    kProxyDefault = 0, // no proxy; nothing is taken from the environment
    kProxyDirect = 1,  // no proxy
    kProxyNamed = 2,   // the "host:port" given, an HTTP proxy; https goes through it by CONNECT
};

// Flags of SetCredentials.
enum CredentialsFor : int { kCredentialsForServer = 0, kCredentialsForProxy = 1 };

// The HTTP request component that a request object drives: one request at a time, set up,
// sent, waited for and read, all on the thread that owns it.
//
// Every call reports failure by its result (false, nothing) and leaves a description for
// LastError(); a call that succeeds leaves the empty text. Texts are code page 936; header
// values travel as their bytes; response bytes come as they arrived.
class RequestComponent {
public:
    virtual ~RequestComponent() = default;

    virtual bool Open(std::string_view method, std::string_view url, bool async) = 0;
    virtual bool SetProxy(int setting, std::string_view server, std::string_view bypass) = 0;
    // Milliseconds; 0 or less is no limit. Resolve and connect bound name resolution and
    // connection; send and receive bound a stall while sending and while waiting for data.
    virtual bool SetTimeouts(int resolveMs, int connectMs, int sendMs, int receiveMs) = 0;
    // Sets a request header, replacing one of the same name set since Open.
    virtual bool SetRequestHeader(std::string_view name, std::string_view value) = 0;
    // Sends the request, with `body` when given. After a synchronous Open it returns once the
    // response is complete (true) or the request failed (false); after an asynchronous one it
    // returns at once.
    virtual bool Send(const std::string* body) = 0;
    // Drives the transfer for at most `seconds` (below 0: no limit); true the moment the
    // response is complete, false when the time ran out or the request failed.
    virtual bool WaitForResponse(int seconds) = 0;
    // Ends the transfer and frees its connection at once.
    virtual bool Abort() = 0;

    // Reads of a complete response.
    virtual std::optional<int> Status() = 0;
    virtual std::optional<std::string> StatusText() = 0;
    virtual std::optional<std::string> ResponseText() = 0; // decoded by the response's charset
    virtual std::optional<std::string> ResponseBody() = 0; // the bytes
    virtual std::unique_ptr<std::istream> ResponseStream() = 0;
    virtual std::optional<std::string> GetResponseHeader(std::string_view name) = 0;
    // Every header line of the response, each ended by CR LF.
    virtual std::optional<std::string> GetAllResponseHeaders() = 0;

    // Writes `value` when it holds one, then reads the option back.
    virtual std::optional<OptionValue> Option(int index, const OptionValue& value) = 0;
    virtual bool SetCredentials(std::string_view user, std::string_view password, int flags) = 0;
    // The path of a PEM file holding the client certificate and its key.
    virtual bool SetClientCertificate(std::string_view certificate) = 0;
    // 0 always, 1 on the intranet, 2 never: whether the user's own logon may be offered to
    // a server. Accepted and kept; this component never offers a logon by itself.
    virtual bool SetAutoLogonPolicy(int policy) = 0;
};

using ComponentFactory = std::shared_ptr<RequestComponent> (*)();

// The libcurl component. Nothing when it cannot be made.
std::shared_ptr<RequestComponent> CreateCurlComponent();

} // namespace pv::http
