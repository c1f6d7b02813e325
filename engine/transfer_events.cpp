#include "engine/transfer_events.h"
#include <iterator>

namespace {
constexpr const char* kStageTexts[] = {
    "",
    "ソケットの初期化)",
    "ホスト解決)",
    "接続)",
    "リクエスト)",
    "リカバリヘッダ取得)",
    "データ取得)",
    "ファイルサイズ取得)",
    "ファイルポインター移動)",
    "ファイル書き込み)",
    "フォルダ作成)",
    "ファイルオープン)",
    "スレッド作成)",
    "リカバリバッファ・オーバー)",
    "予期しないメッセージ)",
    "グリーティングメッセージ取得)",
    "認証)",
    "ディレクトリ切り替え)",
    "データ受送信タイプの設定)",
    "ＰＡＳＶモードに切り替え)",
    "終了メッセージ取得)",
    "ログアウト)",
    "データポート通知)",
    "不正なＵＲＬ)",
    "証明書の検証)",
    "TLSハンドシェイク)",
    "リダイレクト)",
    "プロキシ)",
};
}  // namespace

const char* stageText(uint8_t stage) {
    unsigned index = stage & 0x3F;
    return index < std::size(kStageTexts) ? kStageTexts[index] : "";
}
