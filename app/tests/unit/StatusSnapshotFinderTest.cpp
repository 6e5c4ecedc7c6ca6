#include "app/shell/StatusSnapshot.h"

#include <gtest/gtest.h>

TEST(StatusSnapshot, SaysWhetherTheFileManagerMenuIsOn) {
    auto rendered = [](const char* state) {
        return StatusSnapshot::renderText(
            QJsonObject{{"running", true}, {"signedIn", false}, {"finderExtension", state}});
    };
    EXPECT_TRUE(rendered("enabled").contains("File manager menu: on\n"));
    EXPECT_TRUE(rendered("disabled").contains("File manager menu: switched off\n"));
    EXPECT_TRUE(rendered("notInstalled").contains("File manager menu: not installed\n"));
    EXPECT_FALSE(StatusSnapshot::renderText({{"running", true}}).contains("File manager"));
}
