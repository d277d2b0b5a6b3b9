#include "http/http_request.h"

#include "http/cookies.h"
#include "http/last_error.h"
#include "http/response_decoding.h"
#include "text/ascii.h"

namespace pv::http {

using text::AsciiLower;
using text::AsciiUpper;

HttpRequest::HttpRequest(ComponentFactory factory)
    : factory_(factory) {
    CreateComponent();
    SetDefaultHeaders();
}

HttpRequest::~HttpRequest() {
    ReleaseComponent();
}

void HttpRequest::SetDefaultHeaders() {
    autoHeaders_ = true;
    headers_[kAccept].value = kDefaultAccept;
    headers_[kAcceptLanguage].value = kDefaultAcceptLanguage;
    headers_[kUserAgent].value = kDefaultUserAgent;
    headers_[kContentType].value = kDefaultContentType;
}

void HttpRequest::SetAutoHeaders(bool value) {
    autoHeaders_ = value;
}

bool HttpRequest::CreateComponent() {
    if (component_) {
        return true;
    }
    component_ = factory_ != nullptr ? factory_() : nullptr;
    return component_ != nullptr;
}

void HttpRequest::ReleaseComponent() {
    component_.reset();
}

void HttpRequest::SetComponent(std::shared_ptr<RequestComponent> other) {
    ReleaseComponent();
    component_ = std::move(other);
}

void HttpRequest::Reset() {
    ReleaseComponent();
    CreateComponent();
}

const std::string& HttpRequest::LastError() {
    return http::LastError();
}

RequestComponent* HttpRequest::Component() {
    if (!component_) {
        SetLastError("no request component instance");
    }
    return component_.get();
}

void HttpRequest::SetProxy(std::string_view server, int setting, std::string_view bypass) {
    if (RequestComponent* c = Component()) {
        c->SetProxy(setting, server, bypass);
    }
}

void HttpRequest::SetTimeouts(int resolveMs, int connectMs, int sendMs, int receiveMs) {
    if (RequestComponent* c = Component()) {
        c->SetTimeouts(resolveMs, connectMs, sendMs, receiveMs);
    }
}

void HttpRequest::Open(std::string& url, std::string_view method, bool async) {
    if (AsciiLower(url).rfind("http", 0) != 0) {
        url = "http://" + url;
    }
    if (autoHeaders_) {
        for (ManagedHeader& header : headers_) {
            header.set = false;
        }
        isPost_ = AsciiUpper(method) == "POST";
        headers_[kReferer].value = url;
    }
    if (RequestComponent* c = Component()) {
        c->Open(method, url, async);
    }
}

void HttpRequest::HandManagedHeaders() {
    if (!autoHeaders_) {
        return;
    }
    for (int i = 0; i < kCount; ++i) {
        ManagedHeader& header = headers_[i];
        if (header.set || (i == kContentType && !isPost_)) {
            continue;
        }
        header.set = true;
        if (RequestComponent* c = Component()) {
            c->SetRequestHeader(header.name, header.value);
        }
    }
}

void HttpRequest::Send(std::optional<std::string_view> body) {
    HandManagedHeaders();
    if (RequestComponent* c = Component()) {
        if (body) {
            const std::string copy(*body);
            c->Send(&copy);
        } else {
            c->Send(nullptr);
        }
    }
}

void HttpRequest::SendBytes(std::optional<ByteArray> body) {
    HandManagedHeaders();
    if (RequestComponent* c = Component()) {
        if (body) {
            const std::string bytes(body->begin(), body->end());
            c->Send(&bytes);
        } else {
            c->Send(nullptr);
        }
    }
}

bool HttpRequest::WaitForResponse(int seconds) {
    RequestComponent* c = Component();
    return c != nullptr && c->WaitForResponse(seconds);
}

void HttpRequest::Abort() {
    if (RequestComponent* c = Component()) {
        c->Abort();
    }
}

void HttpRequest::SetRequestHeader(std::string_view name, std::string_view value) {
    if (name.empty()) {
        return;
    }
    if (autoHeaders_ && !value.empty()) {
        const std::string lower = AsciiLower(name);
        for (ManagedHeader& header : headers_) {
            if (AsciiLower(header.name) == lower) {
                header.set = true;
            }
        }
    }
    if (RequestComponent* c = Component()) {
        c->SetRequestHeader(name, value);
    }
}

void HttpRequest::SetRequestHeaderZero(std::string_view name) {
    if (RequestComponent* c = Component()) {
        c->SetRequestHeader(name, "0");
    }
}

void HttpRequest::SetManagedHeader(ManagedIndex which, std::optional<std::string_view> value) {
    ManagedHeader& header = headers_[which];
    const std::string text = value ? std::string(*value) : header.value;
    if (autoHeaders_ && !text.empty()) {
        header.set = true;
        header.value = text;
    }
    if (RequestComponent* c = Component()) {
        c->SetRequestHeader(header.name, text);
    }
}

void HttpRequest::SetAccept(std::optional<std::string_view> value) {
    SetManagedHeader(kAccept, value);
}

void HttpRequest::SetUserAgent(std::optional<std::string_view> value) {
    SetManagedHeader(kUserAgent, value);
}

void HttpRequest::SetReferer(std::optional<std::string_view> value) {
    SetManagedHeader(kReferer, value);
}

void HttpRequest::SetContentType(std::optional<std::string_view> value) {
    SetManagedHeader(kContentType, value);
}

void HttpRequest::SetCookie(std::string_view value) {
    if (RequestComponent* c = Component()) {
        c->SetRequestHeader("Cookie", value);
    }
}

void HttpRequest::SetForwardedFor(std::string_view value) {
    if (RequestComponent* c = Component()) {
        c->SetRequestHeader("X-Forwarded-For", value);
    }
}

void HttpRequest::SetClientAddress(std::string_view value) {
    for (const std::string_view name : {"X-Forwarded-For", "CLIENT_IP", "VIA", "REMOTE_ADDR"}) {
        if (RequestComponent* c = Component()) {
            c->SetRequestHeader(name, value);
        }
    }
}

OptionValue HttpRequest::Option(int index, const OptionValue& value) {
    RequestComponent* c = Component();
    if (c == nullptr) {
        return {};
    }
    std::optional<OptionValue> read = c->Option(index, value);
    if (!read) {
        return {};
    }
    return std::move(*read);
}

void HttpRequest::SetCredentials(std::string_view user, std::string_view password, int flags) {
    if (RequestComponent* c = Component()) {
        c->SetCredentials(user, password, flags);
    }
}

void HttpRequest::SetClientCertificate(std::string_view certificate) {
    if (RequestComponent* c = Component()) {
        c->SetClientCertificate(certificate);
    }
}

void HttpRequest::SetAutoLogonPolicy(int policy) {
    if (RequestComponent* c = Component()) {
        c->SetAutoLogonPolicy(policy);
    }
}

int HttpRequest::Status() {
    RequestComponent* c = Component();
    return c != nullptr ? c->Status().value_or(0) : 0;
}

std::string HttpRequest::StatusText() {
    RequestComponent* c = Component();
    return c != nullptr ? std::string(TextUpToZero(c->StatusText().value_or(""))) : "";
}

std::string HttpRequest::ResponseText() {
    RequestComponent* c = Component();
    return c != nullptr ? std::string(TextUpToZero(c->ResponseText().value_or(""))) : "";
}

std::string HttpRequest::ResponseBodyBytes() {
    RequestComponent* c = Component();
    return c != nullptr ? c->ResponseBody().value_or("") : "";
}

std::string HttpRequest::ResponseBodyText() {
    std::string body = ResponseBodyBytes();
    body.resize(TextUpToZero(body).size());
    return body;
}

std::string HttpRequest::ResponseBodyUtf8() {
    return DecodeUtf8(ResponseBodyBytes());
}

std::unique_ptr<std::istream> HttpRequest::ResponseStream() {
    RequestComponent* c = Component();
    return c != nullptr ? c->ResponseStream() : nullptr;
}

std::string HttpRequest::GetResponseHeader(std::string_view name) {
    RequestComponent* c = Component();
    return c != nullptr ? std::string(TextUpToZero(c->GetResponseHeader(name).value_or(""))) : "";
}

std::string HttpRequest::GetAllResponseHeaders() {
    RequestComponent* c = Component();
    return c != nullptr ? std::string(TextUpToZero(c->GetAllResponseHeaders().value_or(""))) : "";
}

std::string HttpRequest::GetCookie(std::string_view name) {
    return CookieFromHeaders(GetAllResponseHeaders(), name);
}

std::string HttpRequest::GetSetCookieHeaders() {
    return SetCookieLines(GetAllResponseHeaders());
}

} // namespace pv::http
