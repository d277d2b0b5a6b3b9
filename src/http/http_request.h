#pragma once

#include "http/request_component.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace pv::http {

// One request at a time over one request component instance, with five managed headers
// (Accept, Accept-Language, Referer, User-Agent, Content-Type): each has a stored value that
// Send hands to the component at most once per request, and not at all when the caller has
// set the header since Open.
//
// An object belongs to the thread that made it. A component call that fails has no effect
// and yields false, 0 or empty; LastError() on the same thread says why. Texts are code page
// 936. Not copyable: two objects driving one instance would step on each other's requests.
class HttpRequest {
public:
    static constexpr std::string_view kDefaultAccept = "text/html, application/xhtml+xml, */*";
    static constexpr std::string_view kDefaultAcceptLanguage = "zh-CN";
    static constexpr std::string_view kDefaultUserAgent =
        "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
    static constexpr std::string_view kDefaultContentType = "application/x-www-form-urlencoded";

    explicit HttpRequest(ComponentFactory factory = &CreateCurlComponent);
    ~HttpRequest();
    HttpRequest(const HttpRequest&) = delete;
    HttpRequest& operator=(const HttpRequest&) = delete;

    // Managed headers.
    void SetDefaultHeaders();
    void SetAutoHeaders(bool value = true);
    bool AutoHeaders() const { return autoHeaders_; }

    // The component instance.
    bool CreateComponent();
    void ReleaseComponent();
    bool IsComponentEmpty() const { return component_ == nullptr; }
    std::shared_ptr<RequestComponent> GetComponent() const { return component_; }
    void SetComponent(std::shared_ptr<RequestComponent> other);
    void Reset();
    static const std::string& LastError();
    void Noop() {}

    // Setting up and sending.
    void SetProxy(std::string_view server, int setting = kProxyNamed, std::string_view bypass = {});
    void SetTimeouts(int resolveMs, int connectMs, int sendMs, int receiveMs);
    // Puts "http://" before a URL that does not begin with "http" (ASCII letters in any
    // case), writing the result back into `url`, then opens the request.
    void Open(std::string& url, std::string_view method = "GET", bool async = false);
    void Send(std::optional<std::string_view> body = std::nullopt);
    void SendBytes(std::optional<ByteArray> body = std::nullopt);
    bool WaitForResponse(int seconds = 0);
    void Abort();

    // Request headers.
    void SetRequestHeader(std::string_view name, std::string_view value);
    void SetRequestHeaderZero(std::string_view name);
    // Without a value each hands its stored value over; with a non-empty value (while
    // automatic headers are on) it also stores it and counts the header as handed over.
    void SetAccept(std::optional<std::string_view> value = std::nullopt);
    void SetUserAgent(std::optional<std::string_view> value = std::nullopt);
    void SetReferer(std::optional<std::string_view> value = std::nullopt);
    void SetContentType(std::optional<std::string_view> value = std::nullopt);
    void SetCookie(std::string_view value);
    void SetForwardedFor(std::string_view value);
    // X-Forwarded-For, CLIENT_IP, VIA and REMOTE_ADDR, in this order, all to one value.
    void SetClientAddress(std::string_view value);

    // Other settings.
    OptionValue Option(int index, const OptionValue& value = {});
    void SetCredentials(std::string_view user, std::string_view password,
                        int flags = kCredentialsForServer);
    void SetClientCertificate(std::string_view certificate);
    void SetAutoLogonPolicy(int policy);

    // The response, once complete.
    int Status();
    std::string StatusText();
    std::string ResponseText();
    std::string ResponseBodyBytes();
    // The body up to its first zero byte, without conversion.
    std::string ResponseBodyText();
    // The body decoded from UTF-8 (see DecodeUtf8).
    std::string ResponseBodyUtf8();
    std::unique_ptr<std::istream> ResponseStream();
    std::string GetResponseHeader(std::string_view name);
    std::string GetAllResponseHeaders();
    // The value of a cookie from the Set-Cookie response headers; see cookies.h.
    std::string GetCookie(std::string_view name);
    std::string GetSetCookieHeaders();

private:
    struct ManagedHeader {
        std::string_view name;
        std::string value;
        bool set = false;
    };
    enum ManagedIndex { kAccept, kAcceptLanguage, kReferer, kUserAgent, kContentType, kCount };

    // The component, or nothing after recording why there is none.
    RequestComponent* Component();
    void HandManagedHeaders();
    void SetManagedHeader(ManagedIndex which, std::optional<std::string_view> value);

    ComponentFactory factory_;
    std::shared_ptr<RequestComponent> component_;
    bool autoHeaders_ = false;
    bool isPost_ = false;
    // In the order Send hands them over.
    ManagedHeader headers_[kCount] = {{"Accept", {}},
                                      {"Accept-Language", {}},
                                      {"Referer", {}},
                                      {"User-Agent", {}},
                                      {"Content-Type", {}}};
};

} // namespace pv::http
