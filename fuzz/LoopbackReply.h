#pragma once
// A server on 127.0.0.1 that answers every request with the same raw bytes
// (status line, headers and body as given) and closes the connection. It is
// also every HTTP client's proxy in this process, so a reply that redirects
// elsewhere comes back here instead of reaching the network.

#include <string>

namespace kestrava::fuzz {

class LoopbackReply {
public:
    // The one server of the process, started on first use.
    static LoopbackReply& Instance();

    // "http://127.0.0.1:port"
    const std::string& BaseUrl() const { return baseUrl_; }
    void SetReply(std::string reply);

private:
    LoopbackReply();
    void Serve();
    void Answer(int connection);

    int listener_ = -1;
    std::string baseUrl_;
};

}  // namespace kestrava::fuzz
