#pragma once
// HTTPer: the HTTP client the downloads share. One object lives as long as
// the program; its options and request headers stay as the last download set
// them, and its cookies are kept across its requests. Requests block, but
// while one waits the idle hook runs, so a window can repaint and take the
// user's click on the stop button.

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <stdexcept>
#include <string>

namespace kestrava {

enum class HttpVersion { Http10, Http11 };

// Which way a transfer's bytes go: a reply being read, a body being sent.
enum class WorkMode { Read, Write };

struct HttpOptions {
    HttpVersion ProtocolVersion = HttpVersion::Http11;
    int ConnectTimeoutMs = 20000;
    // A request that receives nothing for this long ends with a time-out.
    int ReadTimeoutMs = 20000;
    // A request that has not ended this long after it began ends so, however
    // its bytes trickle in; 0 for none.
    int DeadlineMs = 120000;
    bool HandleRedirects = true;
    int RedirectMaximum = 4;
    // Cookies are kept from the first request that allows them on.
    bool AllowCookies = true;
};

// Request headers; an empty one is not sent.
struct HttpRequestHeaders {
    std::string Host;
    std::string Referer;
    std::string ContentType;
    std::string UserAgent;
    std::string Accept;
    // Compressed replies are decoded whatever this says; empty only keeps
    // the header off the request.
    std::string AcceptEncoding;
    std::string AcceptCharset;
    std::string AcceptLanguage;
    std::string Connection;
};

// What the client raises. HttpAbort: the user stopped the request (shown
// nowhere). HttpNetworkError: no usable reply (connection failure, time-out,
// an HTTP error status, a reply too large). Any other exception is an error
// of the caller's side, such as a file that cannot be written.
class HttpError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class HttpAbort : public HttpError {
public:
    HttpAbort() : HttpError("The download was stopped.") {}
};

class HttpNetworkError : public HttpError {
public:
    explicit HttpNetworkError(const std::string& text, int status = 0) : HttpError(text), status_(status) {}
    // The reply's HTTP status when it was an error status, else 0.
    int Status() const { return status_; }

private:
    int status_;
};

// A reply larger than the client takes; what came of it is nobody's data.
class HttpTooLarge : public HttpNetworkError {
public:
    using HttpNetworkError::HttpNetworkError;
};

// Larger replies are refused: a runaway server must not fill the disk.
inline constexpr std::int64_t kMaxReplyBytes = std::int64_t{64} << 20;

class HTTPer {
public:
    HTTPer();
    ~HTTPer();
    HTTPer(const HTTPer&) = delete;
    HTTPer& operator=(const HTTPer&) = delete;

    HttpOptions Options;
    HttpRequestHeaders Request;
    std::int64_t MaxReplyBytes = kMaxReplyBytes;

    // Transfer events: begin with the expected size (-1 when unknown), the
    // bytes so far, the end (also after a failure). They run inside the
    // network library and must not throw.
    std::function<void(WorkMode, std::int64_t expected)> OnWorkBegin;
    std::function<void(WorkMode, std::int64_t count)> OnWork;
    std::function<void(WorkMode)> OnWorkEnd;
    // Runs again and again while a request waits on the network.
    std::function<void()> OnIdle;

    // GET url; the decoded reply body goes into out. Only a whole reply of
    // status 200 counts: any other status, a reply shorter than its
    // announced length, a time-out or the deadline throws HttpNetworkError.
    void Get(const std::string& url, std::ostream& out);
    // POST body (as the Content-Type header names it); the decoded reply
    // goes into out, under the same rules as a GET.
    void Post(const std::string& url, const std::string& body, std::ostream& out);

    // Stops the running request and refuses every later one with HttpAbort
    // until ResetAbort; safe to call from the idle hook or an event.
    void Abort() { aborted_ = true; }
    void ResetAbort() { aborted_ = false; }
    bool Aborted() const { return aborted_; }

private:
    struct Transfer;
    void Perform(Transfer& transfer);
    // Throws HttpError, before anything is sent, for an address or a header
    // value that no request may carry (RequestValueProblem).
    void CheckRequestValues(const std::string& url) const;

    struct Handles;
    std::unique_ptr<Handles> handles_;
    bool aborted_ = false;
    bool busy_ = false;
    bool cookiesOn_ = false;
};

}  // namespace kestrava
