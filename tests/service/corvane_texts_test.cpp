// The wrapper's texts are stored as code page 932 bytes.
#include <gtest/gtest.h>
#include <iconv.h>

#include <cstring>
#include <string>

#include "service/messages.h"

namespace corvane {
namespace {

std::string Cp932ToUtf8(const char* in) {
  iconv_t cd = iconv_open("UTF-8", "CP932");
  EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
  std::string out(std::strlen(in) * 3 + 1, '\0');
  char* src = const_cast<char*>(in);
  size_t src_left = std::strlen(in);
  char* dst = out.data();
  size_t dst_left = out.size();
  size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
  iconv_close(cd);
  if (r == static_cast<size_t>(-1)) return "<not CP932>";
  out.resize(out.size() - dst_left);
  return out;
}

TEST(Texts, ExactShiftJisBytes) {
  EXPECT_STREQ(MSG_NAME_EMPTY,
               "\x83\x54\x81\x5B\x83\x72\x83\x58\x96\xBC\x82\xF0\x90\xDD\x92\xE8\x82\xB5\x82\xC4"
               "\x82\xAD\x82\xBE\x82\xB3\x82\xA2\x81\x42");
  // 能 is 0x94 0x5C: its second byte must stay a plain 0x5C.
  EXPECT_STREQ(MSG_EXE_ONLY,
               "\x83\x76\x83\x8D\x83\x4F\x83\x89\x83\x80\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xCC"
               "\x82\xDD\x93\x6F\x98\x5E\x89\xC2\x94\x5C\x82\xC5\x82\xB7\x81\x42");
  EXPECT_STREQ(END_LABEL_SYSCOMMAND, "WM_SYSCOMMAND\x81\xA8WM_CLOSE");
}

TEST(Texts, EveryTextReadsBackAsWritten) {
  struct {
    const char* text;
    const char* utf8;
  } cases[] = {
      {CAPTION_ERROR, "Error"},
      {MSG_CANNOT_STOP,
       "サービスを停止できません。\nサービスの権限のあるユーザーでログインしてください。"},
      {MSG_NAME_EMPTY, "サービス名を設定してください。"},
      {MSG_PROGRAM_EMPTY, "プログラム名を設定してください。"},
      {MSG_ASK_REGISTER, "サービスに登録しますか？"},
      {MSG_REGISTERED, "サービスに登録しました。サービスとして起動しますか？"},
      {MSG_REGISTER_FAILED,
       "サービスに登録できませんでした。\nサービスの権限があるユーザーでログインして実行して"
       "ください。"},
      {MSG_EXE_ONLY, "プログラムファイルのみ登録可能です。"},
      {MSG_ASK_DELETE, "サービスから削除しますか？"},
      {MSG_DELETED, "サービスから削除しました。"},
      {MSG_DELETE_FAILED,
       "サービスから削除できませんでした。\nサービスの権限があるユーザーでログインして実行して"
       "ください。"},
      {MSG_TEST_STARTED,
       "プログラムを起動しました。\nＯＫをクリックするとプログラムを終了します。\n終了しない場合、"
       "手動でプログラムを終了させてください。"},
      {MSG_NAME_TOO_LONG, "サービス名が長すぎます。\n%dバイト以内にしてください。"},
      {MSG_COMMAND_TOO_LONG,
       "プログラムの場所と起動時のオプションが長すぎます。\n合わせて%dバイト以内にしてください。"},
      {LABEL_RUN_TEST, "起動テスト(&T)"},
      {LABEL_DELETE, "削除(&D)"},
      {END_LABEL_CLOSE, "WM_CLOSE"},
      {END_LABEL_SYSCOMMAND, "WM_SYSCOMMAND→WM_CLOSE"},
      {BROWSE_TITLE, "実行ファイルの選択"},
  };
  for (const auto& c : cases) EXPECT_EQ(Cp932ToUtf8(c.text), c.utf8);
}

TEST(Texts, BrowseFilterIsOnePairEndedByAnEmptyString) {
  ASSERT_EQ(Cp932ToUtf8(BROWSE_FILTER), "実行ファイル(*.exe)");
  const char* pattern = BROWSE_FILTER + std::strlen(BROWSE_FILTER) + 1;
  EXPECT_STREQ(pattern, "*.exe");
  const char* end = pattern + std::strlen(pattern) + 1;
  EXPECT_EQ(*end, '\0');
  EXPECT_EQ(static_cast<size_t>(end - BROWSE_FILTER) + 1, BROWSE_FILTER_BYTES);
}

}  // namespace
}  // namespace corvane
