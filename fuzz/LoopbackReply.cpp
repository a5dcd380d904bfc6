#include "fuzz/LoopbackReply.h"

#include <cstdlib>
#include <mutex>
#include <string_view>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace kestrava::fuzz {
namespace {

std::mutex g_replyLock;
std::string g_reply;

// The request's length as its Content-Length header gives it, 0 without one.
std::size_t BodyLength(std::string_view head)
{
    std::string lower(head);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    const std::size_t at = lower.find("\ncontent-length:");
    return at == std::string::npos ? 0 : std::strtoul(lower.c_str() + at + 16, nullptr, 10);
}

// Reads the whole request, so that closing the connection afterwards does
// not reset it under the reply.
void ReadRequest(int connection)
{
    std::string request;
    char buffer[4096];
    std::size_t headEnd = std::string::npos;
    while (headEnd == std::string::npos && request.size() < (1u << 20)) {
        const ssize_t got = ::recv(connection, buffer, sizeof buffer, 0);
        if (got <= 0)
            return;
        request.append(buffer, static_cast<std::size_t>(got));
        headEnd = request.find("\r\n\r\n");
    }
    if (headEnd == std::string::npos)
        return;
    std::size_t left = BodyLength(std::string_view(request).substr(0, headEnd + 2));
    const std::size_t already = request.size() - (headEnd + 4);
    left = left > already ? left - already : 0;
    while (left > 0) {
        const ssize_t got = ::recv(connection, buffer, std::min(sizeof buffer, left), 0);
        if (got <= 0)
            return;
        left -= static_cast<std::size_t>(got);
    }
}

}  // namespace

LoopbackReply& LoopbackReply::Instance()
{
    static LoopbackReply server;
    return server;
}

LoopbackReply::LoopbackReply()
{
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || ::listen(listener_, 16) != 0
        || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        std::abort();
    baseUrl_ = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port));
    for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
        ::setenv(name, baseUrl_.c_str(), 1);
    ::unsetenv("no_proxy");
    ::unsetenv("NO_PROXY");
    std::thread([this] { Serve(); }).detach();
}

void LoopbackReply::SetReply(std::string reply)
{
    const std::lock_guard lock(g_replyLock);
    g_reply = std::move(reply);
}

void LoopbackReply::Serve()
{
    for (;;) {
        const int connection = ::accept(listener_, nullptr, nullptr);
        if (connection < 0)
            continue;
        Answer(connection);
        ::close(connection);
    }
}

void LoopbackReply::Answer(int connection)
{
    // A client that stops talking must not hold up the next one.
    timeval wait{2, 0};
    ::setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    ::setsockopt(connection, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
    ReadRequest(connection);
    std::string reply;
    {
        const std::lock_guard lock(g_replyLock);
        reply = g_reply;
    }
    std::size_t sent = 0;
    while (sent < reply.size()) {
        const ssize_t put = ::send(connection, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
        if (put <= 0)
            break;
        sent += static_cast<std::size_t>(put);
    }
    ::shutdown(connection, SHUT_WR);
}

}  // namespace kestrava::fuzz
