// Compiled with -fexec-charset=CP932: these literals are stored as Shift-JIS.
#include "service/messages.h"

namespace corvane {

const char CAPTION_ERROR[] = "Error";

const char MSG_CANNOT_STOP[] =
    "サービスを停止できません。\nサービスの権限のあるユーザーでログインしてください。";
const char MSG_NAME_EMPTY[] = "サービス名を設定してください。";
const char MSG_PROGRAM_EMPTY[] = "プログラム名を設定してください。";
const char MSG_ASK_REGISTER[] = "サービスに登録しますか？";
const char MSG_REGISTERED[] = "サービスに登録しました。サービスとして起動しますか？";
const char MSG_REGISTER_FAILED[] =
    "サービスに登録できませんでした。\nサービスの権限があるユーザーでログインして実行してください"
    "。";
const char MSG_EXE_ONLY[] = "プログラムファイルのみ登録可能です。";
const char MSG_ASK_DELETE[] = "サービスから削除しますか？";
const char MSG_DELETED[] = "サービスから削除しました。";
const char MSG_DELETE_FAILED[] =
    "サービスから削除できませんでした。\nサービスの権限があるユーザーでログインして実行してください"
    "。";
const char MSG_TEST_STARTED[] =
    "プログラムを起動しました。\nＯＫをクリックするとプログラムを終了します。\n"
    "終了しない場合、手動でプログラムを終了させてください。";
const char MSG_NAME_TOO_LONG[] = "サービス名が長すぎます。\n%dバイト以内にしてください。";
const char MSG_COMMAND_TOO_LONG[] =
    "プログラムの場所と起動時のオプションが長すぎます。\n合わせて%dバイト以内にしてください。";

const char LABEL_RUN_TEST[] = "起動テスト(&T)";
const char LABEL_DELETE[] = "削除(&D)";

const char END_LABEL_CLOSE[] = "WM_CLOSE";
const char END_LABEL_SYSCOMMAND[] = "WM_SYSCOMMAND→WM_CLOSE";

const char BROWSE_FILTER[] = "実行ファイル(*.exe)\0*.exe\0";
const unsigned BROWSE_FILTER_BYTES = sizeof BROWSE_FILTER;
const char BROWSE_TITLE[] = "実行ファイルの選択";

}  // namespace corvane
