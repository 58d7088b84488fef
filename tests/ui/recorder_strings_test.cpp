// Every numbered text the recorder's window and its login dialog show, in both languages: the
// English ones exactly as people and scripts know them, typos included.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "nvr/core/engine/strings.h"

namespace {

struct Expected {
  uint32_t id;
  const char* english;
  const char* chinese;  // nullptr: any non-empty text
};

#define SCHEDULED "This operation is invalid on devices which are set to record using a schedule"
#define ASK SCHEDULED ". \r\nDo you want to continue? "

constexpr Expected kWindowTexts[] = {
    {103, "ID", "ID"},
    {114, "Read database failed", "读数据库失败"},
    {115, "Connect database failed", nullptr},
    {118, "Device", nullptr},
    {119, "Connecting...", nullptr},
    {122, "Channel", "通道"},
    {124, SCHEDULED, nullptr},
    {129, "Schedule Name", "时间表名称"},
    {131, "All disks is full !", nullptr},
    {133, ASK, nullptr},
    {134, ASK, nullptr},
    {136, ASK, nullptr},
    {137, "Recording Status", nullptr},
    {138, ASK, nullptr},
    {140, "Double click the device in the list below to view the live video", nullptr},
    {141, "Unauthorized", nullptr},
    {147, "Stop failed", nullptr},
    {150, "Are you sure you want to delete all devices?", nullptr},
    {151, "Do you want to continue?", nullptr},
    {152, "Delete device failed!", nullptr},
    {163, "Host Address", nullptr},
    {164, "Confirm password error!", "确认密码错误"},
    {165, "User name or password is error!", "用户名或密码错误"},
    {166, "Confirm password can't be empty!", "确认密码不能为空"},
    {167, "New password can't be empty!", "新密码不能为空"},
    {168, "Change password successful!", "修改密码成功"},
    {169, "Login", "登录"},
    {170, "Logout", "退出"},
    {171, "Unlock", "解除锁定"},
    {172, "Lock QV_NVR", nullptr},
    {173, "Inital failed!", nullptr},
    {174, "Read database failed", nullptr},
    {175, "Record failed", nullptr},
    {190, "Device Status", nullptr},
    {213, "User name or password error!", "用户名或密码错误."},
    {214, "User name can't be empty!", "用户名不能为空"},
    {258, SCHEDULED, nullptr},
    {260, "Connect was not successful!", nullptr},
    {261, "Are you sure you want to delete %s ?", nullptr},
    {262, "Delte failed", nullptr},
    {263, "Connected successfully", nullptr},
    {264, "Reconnect...", nullptr},
    {265, "Recording...", nullptr},
};

TEST(RecorderStringsTest, EveryWindowTextInBothLanguages) {
  for (const Expected& e : kWindowTexts) {
    SCOPED_TRACE(e.id);
    EXPECT_STREQ(nvr::LoadString(e.id, nvr::Language::kEnglish), e.english);
    const char* chinese = nvr::LoadString(e.id, nvr::Language::kChinese);
    EXPECT_GT(std::strlen(chinese), 0u);
    if (e.chinese != nullptr) {
      EXPECT_STREQ(chinese, e.chinese);
    } else {
      EXPECT_STRNE(chinese, e.english) << "untranslated";
    }
  }
}

TEST(RecorderStringsTest, TheDeleteQuestionKeepsItsOneArgument) {
  const std::string zh = nvr::LoadString(nvr::kStrConfirmDelete, nvr::Language::kChinese);
  EXPECT_NE(zh.find("%s"), std::string::npos);
  EXPECT_EQ(zh.find('%'), zh.rfind('%'));
}

}  // namespace
