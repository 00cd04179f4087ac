// A fresh directory per test for the settings file, and the main window's
// controls as the dialog template sets them up (Chinese texts, a few English
// buttons, the load-mode and theme lists filled).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "protocol/SharedState.h"
#include "support/FakeControls.h"
#include "support/ScratchDir.h"

namespace kestrane::testing {

class SettingsDirFixture : public ::testing::Test {
protected:
    void SetUp() override { SetUpTemplate(); }

    void WriteFile(const std::string& content) const {
        std::ofstream(path, std::ios::binary) << content;
    }
    std::string FileContent() const {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    void SetUpTemplate() {
        window.SetText(1007, "OPEN");
        window.SetText(1036, "CLOSE");
        window.SetText(1014, "START MONITOR");
        window.SetText(1118, "开始编辑");
        window.SetText(1187, "串口号:");
        window.SetText(1186, "切换为中文");
        window.SetItems(1006, {"光控模式", "双时段定时模式", "固定时间光控模式"});
        window.SetItems(1008, {"Light Mode", "Dual Timer Mode", "Light-Time Mode"});
        window.SetItems(1009, {"酷黑色", "水蓝色", "经典灰", "橙黄色", "浅绿色"});
        window.SetItems(1011, {"Cool black", "Aqua Blue", "Classic grey", "Orange", "Light green"});
    }

    FakeControls window;
    SharedState state;

private:
    ScratchDir scratch_{"kestrane-lang"};

protected:
    const std::string path = (scratch_.Path() / "Configfiles.ini").string();
};

}  // namespace kestrane::testing
