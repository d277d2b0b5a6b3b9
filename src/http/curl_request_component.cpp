#include "http/last_error.h"
#include "http/request_component.h"
#include "text/ascii.h"
#include "text/code_page.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <curl/curl.h>
#include <mutex>
#include <sstream>

namespace pv::http {

namespace {

using text::EqualsIgnoringAsciiCase;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kMaxBodyBytes = 8 * 1024 * 1024;
constexpr int kMaxRedirects = 10;
constexpr int kDefaultConnectMs = 60000;
constexpr int kDefaultSendMs = 30000;
constexpr int kDefaultReceiveMs = 30000;

struct EasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct MultiDeleter {
    void operator()(CURLM* handle) const { curl_multi_cleanup(handle); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;
using MultiHandle = std::unique_ptr<CURLM, MultiDeleter>;
using HeaderList = std::unique_ptr<curl_slist, ListDeleter>;

// Handles that request objects on this thread have finished with, kept for the next ones:
// making a multi handle costs a socket pair and a handful of system calls, a noticeable
// part of a check. Each live object still has a handle of each kind to itself; a handle is
// kept only when no transfer is attached to it, and a reused easy handle is reset first.
class HandleCache {
public:
    EasyHandle TakeEasy() {
        if (easy_.empty()) {
            return EasyHandle(curl_easy_init());
        }
        EasyHandle handle = std::move(easy_.back());
        easy_.pop_back();
        curl_easy_reset(handle.get());
        return handle;
    }
    MultiHandle TakeMulti() {
        if (multi_.empty()) {
            return MultiHandle(curl_multi_init());
        }
        MultiHandle handle = std::move(multi_.back());
        multi_.pop_back();
        return handle;
    }
    void Keep(EasyHandle easy, MultiHandle multi) {
        if (easy && easy_.size() < kKept) {
            easy_.push_back(std::move(easy));
        }
        if (multi && multi_.size() < kKept) {
            multi_.push_back(std::move(multi));
        }
    }

private:
    static constexpr std::size_t kKept = 2;
    std::vector<EasyHandle> easy_;
    std::vector<MultiHandle> multi_;
};

thread_local HandleCache tHandleCache;

std::string_view TrimSpaces(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                             text.back() == '\n')) {
        text.remove_suffix(1);
    }
    return text;
}

// The URL as libcurl takes it: the program's text in UTF-8, bytes outside ASCII escaped.
std::string UrlForCurl(std::string_view cp936) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string url;
    for (const char c : text::Cp936ToUtf8(cp936)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80) {
            url += '%';
            url += kHex[byte >> 4];
            url += kHex[byte & 0x0F];
        } else {
            url += c;
        }
    }
    return url;
}

// The charset parameter of a Content-Type value, lower-cased; empty when there is none.
std::string CharsetOf(std::string_view contentType) {
    const std::string lower = text::AsciiLower(contentType);
    const std::size_t at = lower.find("charset=");
    if (at == std::string::npos) {
        return {};
    }
    std::string charset = lower.substr(at + 8);
    charset = charset.substr(0, charset.find_first_of("; \t"));
    charset.erase(std::remove(charset.begin(), charset.end(), '"'), charset.end());
    return charset;
}

bool Fail(const std::string& why) {
    SetLastError(text::Utf8ToCp936(why));
    return false;
}

bool Succeed() {
    SetLastError({});
    return true;
}

void InitialiseCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

class CurlRequestComponent final : public RequestComponent {
public:
    CurlRequestComponent(EasyHandle easy, MultiHandle multi)
        : easy_(std::move(easy))
        , multi_(std::move(multi)) {}
    ~CurlRequestComponent() override {
        Detach();
        tHandleCache.Keep(std::move(easy_), std::move(multi_));
    }
    CurlRequestComponent(const CurlRequestComponent&) = delete;
    CurlRequestComponent& operator=(const CurlRequestComponent&) = delete;

    bool Open(std::string_view method, std::string_view url, bool async) override;
    bool SetProxy(int setting, std::string_view server, std::string_view bypass) override;
    bool SetTimeouts(int resolveMs, int connectMs, int sendMs, int receiveMs) override;
    bool SetRequestHeader(std::string_view name, std::string_view value) override;
    bool Send(const std::string* body) override;
    bool WaitForResponse(int seconds) override;
    bool Abort() override;
    std::optional<int> Status() override;
    std::optional<std::string> StatusText() override;
    std::optional<std::string> ResponseText() override;
    std::optional<std::string> ResponseBody() override;
    std::unique_ptr<std::istream> ResponseStream() override;
    std::optional<std::string> GetResponseHeader(std::string_view name) override;
    std::optional<std::string> GetAllResponseHeaders() override;
    std::optional<OptionValue> Option(int index, const OptionValue& value) override;
    bool SetCredentials(std::string_view user, std::string_view password, int flags) override;
    bool SetClientCertificate(std::string_view certificate) override;
    bool SetAutoLogonPolicy(int policy) override;

private:
    enum class State { kIdle, kOpened, kTransferring, kComplete, kFailed };

    static std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* self);
    static int OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t ulTotal, curl_off_t ulNow);
    static int OnConnected(void* self, char*, char*, int, int);

    bool Configure(const std::string* body);
    bool& FlagOption(int index);
    bool WriteOption(int index, const OptionValue& value);
    std::optional<OptionValue> ReadOption(int index);
    void Detach();
    // Drives the transfer until it ends or `deadline` passes; true when it has ended.
    bool Drive(std::optional<Clock::time_point> deadline);
    void Finish(CURLcode result);
    bool ResponseReady();
    std::optional<std::string> HeaderValue(std::string_view name) const;

    EasyHandle easy_;
    MultiHandle multi_;
    bool attached_ = false;

    // Settings that outlive one request.
    int proxySetting_ = kProxyDefault;
    std::string proxy_;
    std::string noProxy_;
    int resolveMs_ = 0;
    int connectMs_ = kDefaultConnectMs;
    int sendMs_ = kDefaultSendMs;
    int receiveMs_ = kDefaultReceiveMs;
    bool followRedirects_ = true;
    bool httpsToHttp_ = false;
    bool ignoreCertificateErrors_ = false;
    std::string caFile_;
    std::size_t bodyCap_ = kMaxBodyBytes;
    std::string user_;
    std::string password_;
    std::string proxyUser_;
    std::string proxyPassword_;
    std::string clientCertificate_;
    int autoLogonPolicy_ = 0;

    // The request.
    State state_ = State::kIdle;
    std::string method_;
    std::string url_;
    bool async_ = false;
    std::vector<std::pair<std::string, std::string>> headers_;
    HeaderList headerList_;
    std::string requestBody_;
    std::string userAgentSent_;

    // The response.
    std::string body_;
    bool bodyCut_ = false;
    std::string statusLine_;
    std::vector<std::string> headerLines_;
    std::string failure_;
    char errorBuffer_[CURL_ERROR_SIZE] = {};

    // Stall detection: the last moment bytes moved, once connected.
    Clock::time_point lastProgress_{};
    bool connected_ = false;
    bool uploading_ = false;
    curl_off_t lastUploaded_ = 0;
};

std::size_t CurlRequestComponent::OnBody(char* data, std::size_t size, std::size_t count,
                                         void* raw) {
    auto* self = static_cast<CurlRequestComponent*>(raw);
    const std::size_t bytes = size * count;
    self->lastProgress_ = Clock::now();
    const std::size_t room = self->bodyCap_ - std::min(self->bodyCap_, self->body_.size());
    if (bytes > room) {
        // The rest is not wanted: keep what fits and end the transfer here.
        self->body_.append(data, room);
        self->bodyCut_ = true;
        return 0;
    }
    self->body_.append(data, bytes);
    return bytes;
}

std::size_t CurlRequestComponent::OnHeader(char* data, std::size_t size, std::size_t count,
                                           void* raw) {
    auto* self = static_cast<CurlRequestComponent*>(raw);
    const std::size_t bytes = size * count;
    self->lastProgress_ = Clock::now();
    const std::string_view line = TrimSpaces(std::string_view(data, bytes));
    if (line.substr(0, 5) == "HTTP/") {
        // A new response begins (after a redirect or an interim response): start over.
        self->statusLine_ = line;
        self->headerLines_.clear();
        self->body_.clear();
        self->bodyCut_ = false;
    } else if (!line.empty()) {
        self->headerLines_.emplace_back(line);
    }
    return bytes;
}

int CurlRequestComponent::OnProgress(void* raw, curl_off_t, curl_off_t, curl_off_t ulTotal,
                                     curl_off_t ulNow) {
    auto* self = static_cast<CurlRequestComponent*>(raw);
    if (ulNow != self->lastUploaded_) {
        self->lastUploaded_ = ulNow;
        self->lastProgress_ = Clock::now();
    }
    self->uploading_ = ulTotal > 0 && ulNow < ulTotal;
    return 0;
}

int CurlRequestComponent::OnConnected(void* raw, char*, char*, int, int) {
    // The connection is up and the request about to go out: from now on, stalls count.
    auto* self = static_cast<CurlRequestComponent*>(raw);
    self->connected_ = true;
    self->lastProgress_ = Clock::now();
    return CURL_PREREQFUNC_OK;
}

void CurlRequestComponent::Detach() {
    if (attached_) {
        curl_multi_remove_handle(multi_.get(), easy_.get());
        attached_ = false;
    }
}

bool CurlRequestComponent::Open(std::string_view method, std::string_view url, bool async) {
    Detach();
    if (method.empty()) {
        state_ = State::kIdle;
        return Fail("the method is empty");
    }
    method_ = method;
    url_ = url;
    async_ = async;
    headers_.clear();
    state_ = State::kOpened;
    return Succeed();
}

bool CurlRequestComponent::SetProxy(int setting, std::string_view server, std::string_view bypass) {
    if (setting < kProxyDefault || setting > kProxyNamed) {
        return Fail("unknown proxy setting " + std::to_string(setting));
    }
    if (setting == kProxyNamed && server.empty()) {
        return Fail("no proxy server given");
    }
    proxySetting_ = setting;
    proxy_ = setting == kProxyNamed ? std::string(server) : std::string();
    noProxy_ = bypass;
    return Succeed();
}

bool CurlRequestComponent::SetTimeouts(int resolveMs, int connectMs, int sendMs, int receiveMs) {
    resolveMs_ = resolveMs;
    connectMs_ = connectMs;
    sendMs_ = sendMs;
    receiveMs_ = receiveMs;
    return Succeed();
}

bool CurlRequestComponent::SetRequestHeader(std::string_view name, std::string_view value) {
    if (state_ != State::kOpened) {
        return Fail("SetRequestHeader needs an opened request that has not been sent");
    }
    if (name.empty() || name.find_first_of(":\r\n") != std::string_view::npos ||
        value.find_first_of("\r\n") != std::string_view::npos) {
        return Fail("invalid header");
    }
    for (auto& header : headers_) {
        if (EqualsIgnoringAsciiCase(header.first, name)) {
            header.second = value;
            return Succeed();
        }
    }
    headers_.emplace_back(name, value);
    return Succeed();
}

bool CurlRequestComponent::Configure(const std::string* body) {
    CURL* easy = easy_.get();
    curl_easy_reset(easy);
    const std::string url = UrlForCurl(url_);
    const bool https = url.size() >= 8 && EqualsIgnoringAsciiCase(url.substr(0, 8), "https://");
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorBuffer_);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &CurlRequestComponent::OnBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &CurlRequestComponent::OnHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &CurlRequestComponent::OnProgress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &CurlRequestComponent::OnConnected);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, this);
    curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    // One request per instance: nothing is kept for a later one.
    curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);

    // Proxy: an empty text also keeps libcurl from taking one from the environment.
    curl_easy_setopt(easy, CURLOPT_PROXY, proxy_.empty() ? "" : ("http://" + proxy_).c_str());
    if (!noProxy_.empty()) {
        curl_easy_setopt(easy, CURLOPT_NOPROXY, noProxy_.c_str());
    }

    // libcurl bounds resolution and connection together; the larger limit bounds both.
    const int connectLimit = std::max(resolveMs_, connectMs_);
    if (resolveMs_ > 0 && connectMs_ > 0) {
        curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(connectLimit));
    } else if (resolveMs_ <= 0 && connectMs_ > 0) {
        curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(connectMs_));
    }

    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, followRedirects_ ? 1L : 0L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, static_cast<long>(kMaxRedirects));
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR,
                     https && !httpsToHttp_ ? "https" : "http,https");
    if (ignoreCertificateErrors_) {
        curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 0L);
        curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 0L);
    }
    if (!caFile_.empty()) {
        curl_easy_setopt(easy, CURLOPT_CAINFO, caFile_.c_str());
    }
    if (!clientCertificate_.empty()) {
        curl_easy_setopt(easy, CURLOPT_SSLCERT, clientCertificate_.c_str());
        curl_easy_setopt(easy, CURLOPT_SSLKEY, clientCertificate_.c_str());
    }
    if (!user_.empty()) {
        curl_easy_setopt(easy, CURLOPT_USERNAME, user_.c_str());
        curl_easy_setopt(easy, CURLOPT_PASSWORD, password_.c_str());
        curl_easy_setopt(easy, CURLOPT_HTTPAUTH, CURLAUTH_ANY);
    }
    if (!proxyUser_.empty()) {
        curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, proxyUser_.c_str());
        curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD, proxyPassword_.c_str());
        curl_easy_setopt(easy, CURLOPT_PROXYAUTH, CURLAUTH_ANY);
    }

    // Method and body.
    if (body != nullptr) {
        requestBody_ = *body;
    } else {
        requestBody_.clear();
    }
    if (method_ == "GET" && body == nullptr) {
        curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    } else if (method_ == "HEAD") {
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    } else {
        if (body != nullptr || EqualsIgnoringAsciiCase(method_, "POST")) {
            curl_easy_setopt(easy, CURLOPT_POSTFIELDS, requestBody_.data());
            curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE,
                             static_cast<curl_off_t>(requestBody_.size()));
        }
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method_.c_str());
    }

    // Headers, in the order set; libcurl adds only what the request lacks.
    curl_slist* list = nullptr;
    userAgentSent_.clear();
    for (const auto& [name, value] : headers_) {
        const std::string line = value.empty() ? name + ";" : name + ": " + value;
        list = curl_slist_append(list, line.c_str());
        if (EqualsIgnoringAsciiCase(name, "User-Agent")) {
            userAgentSent_ = value;
        }
    }
    // libcurl would add these on its own; a request sends only what its caller set.
    list = curl_slist_append(list, "Expect:");
    const bool hasContentType =
        std::any_of(headers_.begin(), headers_.end(), [](const auto& header) {
            return EqualsIgnoringAsciiCase(header.first, "Content-Type");
        });
    if (!hasContentType) {
        list = curl_slist_append(list, "Content-Type:");
    }
    headerList_.reset(list);
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, list);
    return true;
}

void CurlRequestComponent::Finish(CURLcode result) {
    Detach();
    if (result == CURLE_OK || (result == CURLE_WRITE_ERROR && bodyCut_)) {
        state_ = State::kComplete;
        failure_.clear();
        return;
    }
    state_ = State::kFailed;
    failure_ = errorBuffer_[0] != '\0' ? std::string(errorBuffer_) : curl_easy_strerror(result);
}

bool CurlRequestComponent::Drive(std::optional<Clock::time_point> deadline) {
    while (true) {
        int running = 0;
        curl_multi_perform(multi_.get(), &running);
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi_.get(), &left)) {
            if (message->msg == CURLMSG_DONE && message->easy_handle == easy_.get()) {
                Finish(message->data.result);
                return true;
            }
        }
        const Clock::time_point now = Clock::now();
        // Once connected, a stall longer than the send or receive limit ends the request.
        int stallMs = uploading_ ? sendMs_ : receiveMs_;
        std::optional<Clock::time_point> stallDeadline;
        if (connected_ && stallMs > 0) {
            stallDeadline = lastProgress_ + std::chrono::milliseconds(stallMs);
            if (now >= *stallDeadline) {
                std::snprintf(errorBuffer_, sizeof errorBuffer_,
                              "no data for %d ms: the %s time-out ran out", stallMs,
                              uploading_ ? "send" : "receive");
                Finish(CURLE_OPERATION_TIMEDOUT);
                return true;
            }
        }
        if (deadline && now >= *deadline) {
            return false;
        }
        // Sleep until the sockets have work, libcurl wants to run, or a limit is reached.
        long wait = 1000;
        curl_multi_timeout(multi_.get(), &wait);
        auto until = [&](Clock::time_point point) {
            return std::chrono::ceil<std::chrono::milliseconds>(point - now).count();
        };
        long limit = wait < 0 ? 1000 : wait;
        if (deadline) {
            limit = std::min<long>(limit, static_cast<long>(until(*deadline)));
        }
        if (stallDeadline) {
            limit = std::min<long>(limit, static_cast<long>(until(*stallDeadline)));
        }
        if (limit > 0) {
            int active = 0;
            curl_multi_poll(multi_.get(), nullptr, 0, static_cast<int>(limit), &active);
            // Bytes arriving a few at a time are progress even before libcurl has a whole
            // header line to show for them.
            if (active > 0 && connected_) {
                lastProgress_ = Clock::now();
            }
        }
    }
}

bool CurlRequestComponent::Send(const std::string* body) {
    if (state_ != State::kOpened) {
        return Fail("Send needs an opened request that has not been sent");
    }
    body_.clear();
    bodyCut_ = false;
    statusLine_.clear();
    headerLines_.clear();
    failure_.clear();
    errorBuffer_[0] = '\0';
    connected_ = false;
    uploading_ = false;
    lastUploaded_ = 0;
    lastProgress_ = Clock::now();
    Configure(body);
    if (curl_multi_add_handle(multi_.get(), easy_.get()) != CURLM_OK) {
        state_ = State::kFailed;
        return Fail("the request could not be started");
    }
    attached_ = true;
    state_ = State::kTransferring;
    if (async_) {
        Drive(Clock::now()); // starts resolving and connecting without waiting
        return Succeed();
    }
    Drive(std::nullopt);
    return state_ == State::kComplete ? Succeed() : Fail(failure_);
}

bool CurlRequestComponent::WaitForResponse(int seconds) {
    if (state_ == State::kTransferring) {
        std::optional<Clock::time_point> deadline;
        if (seconds >= 0) {
            deadline = Clock::now() + std::chrono::seconds(seconds);
        }
        Drive(deadline);
    }
    switch (state_) {
    case State::kComplete:
        return Succeed();
    case State::kTransferring:
        Succeed();
        return false;
    case State::kFailed:
        return Fail(failure_);
    default:
        return Fail("no request has been sent");
    }
}

bool CurlRequestComponent::Abort() {
    Detach();
    if (state_ == State::kTransferring || state_ == State::kOpened) {
        state_ = State::kFailed;
        failure_ = "the request was aborted";
    }
    return Succeed();
}

bool CurlRequestComponent::ResponseReady() {
    if (state_ != State::kComplete) {
        return Fail(state_ == State::kFailed ? failure_ : "the response has not arrived");
    }
    return Succeed();
}

std::optional<int> CurlRequestComponent::Status() {
    if (!ResponseReady()) {
        return std::nullopt;
    }
    long code = 0;
    curl_easy_getinfo(easy_.get(), CURLINFO_RESPONSE_CODE, &code);
    return static_cast<int>(code);
}

std::optional<std::string> CurlRequestComponent::StatusText() {
    if (!ResponseReady()) {
        return std::nullopt;
    }
    // "HTTP/1.1 200 OK": the text after the code.
    const std::size_t code = statusLine_.find(' ');
    const std::size_t text = code == std::string::npos ? code : statusLine_.find(' ', code + 1);
    return text == std::string::npos ? std::string() : statusLine_.substr(text + 1);
}

std::optional<std::string> CurlRequestComponent::ResponseBody() {
    if (!ResponseReady()) {
        return std::nullopt;
    }
    return body_;
}

std::optional<std::string> CurlRequestComponent::ResponseText() {
    if (!ResponseReady()) {
        return std::nullopt;
    }
    const std::string charset = CharsetOf(HeaderValue("Content-Type").value_or(""));
    if (charset == "gbk" || charset == "gb2312" || charset == "gb18030" || charset == "cp936" ||
        charset == "x-gbk") {
        return body_;
    }
    return text::Utf8ToCp936(body_);
}

std::unique_ptr<std::istream> CurlRequestComponent::ResponseStream() {
    if (!ResponseReady()) {
        return nullptr;
    }
    return std::make_unique<std::istringstream>(body_);
}

std::optional<std::string> CurlRequestComponent::HeaderValue(std::string_view name) const {
    for (const std::string& line : headerLines_) {
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos &&
            EqualsIgnoringAsciiCase(TrimSpaces(std::string_view(line).substr(0, colon)), name)) {
            return std::string(TrimSpaces(std::string_view(line).substr(colon + 1)));
        }
    }
    return std::nullopt;
}

std::optional<std::string> CurlRequestComponent::GetResponseHeader(std::string_view name) {
    if (!ResponseReady()) {
        return std::nullopt;
    }
    std::optional<std::string> value = HeaderValue(name);
    if (!value) {
        Fail("the response has no header " + std::string(name));
    }
    return value;
}

std::optional<std::string> CurlRequestComponent::GetAllResponseHeaders() {
    if (!ResponseReady()) {
        return std::nullopt;
    }
    std::string all;
    for (const std::string& line : headerLines_) {
        all.append(line).append("\r\n");
    }
    return all;
}

std::optional<OptionValue> CurlRequestComponent::Option(int index, const OptionValue& value) {
    if (!std::holds_alternative<std::monostate>(value) && !WriteOption(index, value)) {
        return std::nullopt;
    }
    return ReadOption(index);
}

bool& CurlRequestComponent::FlagOption(int index) {
    return index == kOptionFollowRedirects        ? followRedirects_
           : index == kOptionHttpsToHttpRedirects ? httpsToHttp_
                                                  : ignoreCertificateErrors_;
}

bool CurlRequestComponent::WriteOption(int index, const OptionValue& value) {
    const auto* number = std::get_if<std::int32_t>(&value);
    const auto* text = std::get_if<std::string>(&value);
    switch (index) {
    case kOptionIgnoreCertificateErrors:
    case kOptionFollowRedirects:
    case kOptionHttpsToHttpRedirects:
        if (number == nullptr) {
            break;
        }
        FlagOption(index) = *number != 0;
        return Succeed();
    case kOptionCaFile:
        if (text == nullptr) {
            break;
        }
        caFile_ = *text;
        return Succeed();
    case kOptionBodyCap:
        if (number == nullptr || *number < 0) {
            break;
        }
        bodyCap_ = std::min<std::size_t>(static_cast<std::size_t>(*number), kMaxBodyBytes);
        return Succeed();
    case kOptionUserAgent:
    case kOptionUrl:
        break; // read only
    default:
        return Fail("unknown option " + std::to_string(index));
    }
    return Fail("option " + std::to_string(index) + " does not take that value");
}

std::optional<OptionValue> CurlRequestComponent::ReadOption(int index) {
    std::optional<OptionValue> result;
    switch (index) {
    case kOptionUserAgent:
        result.emplace(std::in_place_type<std::string>, userAgentSent_);
        break;
    case kOptionUrl: {
        char* effective = nullptr;
        curl_easy_getinfo(easy_.get(), CURLINFO_EFFECTIVE_URL, &effective);
        result.emplace(std::in_place_type<std::string>,
                       effective != nullptr ? text::Utf8ToCp936(effective) : url_);
        break;
    }
    case kOptionIgnoreCertificateErrors:
    case kOptionFollowRedirects:
    case kOptionHttpsToHttpRedirects:
        result.emplace(std::in_place_type<std::int32_t>, FlagOption(index) ? 1 : 0);
        break;
    case kOptionCaFile:
        result.emplace(std::in_place_type<std::string>, caFile_);
        break;
    case kOptionBodyCap:
        result.emplace(std::in_place_type<std::int32_t>, static_cast<std::int32_t>(bodyCap_));
        break;
    default:
        Fail("unknown option " + std::to_string(index));
        return std::nullopt;
    }
    Succeed();
    return result;
}

bool CurlRequestComponent::SetCredentials(std::string_view user, std::string_view password,
                                          int flags) {
    if (flags == kCredentialsForServer) {
        user_ = user;
        password_ = password;
    } else if (flags == kCredentialsForProxy) {
        proxyUser_ = user;
        proxyPassword_ = password;
    } else {
        return Fail("unknown credentials flags " + std::to_string(flags));
    }
    return Succeed();
}

bool CurlRequestComponent::SetClientCertificate(std::string_view certificate) {
    clientCertificate_ = certificate;
    return Succeed();
}

bool CurlRequestComponent::SetAutoLogonPolicy(int policy) {
    if (policy < 0 || policy > 2) {
        return Fail("unknown logon policy " + std::to_string(policy));
    }
    autoLogonPolicy_ = policy;
    return Succeed();
}

} // namespace

std::shared_ptr<RequestComponent> CreateCurlComponent() {
    InitialiseCurlOnce();
    EasyHandle easy = tHandleCache.TakeEasy();
    MultiHandle multi = tHandleCache.TakeMulti();
    if (!easy || !multi) {
        Fail("libcurl could not make a transfer");
        return nullptr;
    }
    Succeed();
    return std::make_shared<CurlRequestComponent>(std::move(easy), std::move(multi));
}

} // namespace pv::http
