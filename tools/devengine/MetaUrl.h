#pragma once

#include <optional>
#include <string>

// The metadata URL this engine serves: "file://" + an absolute folder that holds the
// filespace's files at their paths. The path is taken as written (no percent-decoding),
// which is how the workspace server builds it.
class MetaUrl {
public:
    // Nothing when the text is not a file URL; `problem` then says why.
    static std::optional<MetaUrl> parse(const std::string& text, std::string* problem = nullptr);

    const std::string& folder() const { return folder_; }
    // The volume's name: the folder's last component.
    std::string volumeName() const;

private:
    explicit MetaUrl(std::string folder) : folder_(std::move(folder)) {}
    std::string folder_;
};
