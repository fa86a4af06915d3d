// RecordingSink: a MessageSink that keeps every message in arrival order,
// for the unit tests and for any front end that replays or inspects output.
// An optional hook runs inside showBlockingMessage, standing in for the user
// who fixes the problem before pressing OK.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "report/MessageSink.h"

namespace numen {

class RecordingSink : public MessageSink {
public:
    struct Message {
        int kind;
        std::string text;
        bool operator==(const Message&) const = default;
    };

    void post(int kind, std::string_view text) override { messages.push_back({kind, std::string(text)}); }

    void showBlockingMessage(std::string_view text) override {
        blockingMessages.emplace_back(text);
        if (onBlockingMessage) onBlockingMessage();
    }

    // Texts of the given kind, in order.
    std::vector<std::string> texts(int kind = PaneText) const {
        std::vector<std::string> out;
        for (const Message& m : messages)
            if (m.kind == kind) out.push_back(m.text);
        return out;
    }

    void clear() {
        messages.clear();
        blockingMessages.clear();
    }

    std::vector<Message> messages;
    std::vector<std::string> blockingMessages;
    std::function<void()> onBlockingMessage;
};

}  // namespace numen
