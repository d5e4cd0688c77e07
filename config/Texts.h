// The settings tool's own texts, as the user sees them (compiled to code
// page 932).
#pragma once

const char kTextToolCaption[] = "Pelmark ＣＤプレイヤーの設定";
// Formed with the guide page's path.
const char kTextGuideNotOpened[] = "説明のページ %s を開けませんでした.";
// The font the dialog asks for.
const char kTextToolFont[] = "ＭＳ Ｐゴシック";
const char kTextIntervalLabel[] = "%4u ミリ秒";
const char kTextIndexMissing[] = "曲名ファイル (%s) が見つかりません。\n\n作成しますか？";
const char kTextIndexNameEmpty[] = "曲名ファイルの名前を入力してください。";
const char kTextIndexIsFolder[] = "%s はフォルダです。\n\n曲名ファイルの名前を入力してください。";
// Formed with what every program says of a file that is no index.
const char kTextNotAnIndex[] = "%s\n(曲名はこのファイルに保存されません)\n\nこのファイルを曲名ファイルにしますか？";
const char kTextIndexReadOnly[] =
    "%s は読み取り専用です。\n(プレイヤーは曲名をこのファイルに保存できません)\n\nこのファイルを曲名ファイルにしますか？";
const char kTextIndexNotCreated[] = "%s の作成に失敗しました。\n\n正しいファイル名とパスを指定してください。";
const char kTextSettingsNotSaved[] = "設定を保存できませんでした。";
// The player's AutoPlay handler, as AutoPlay lists it.
const char kTextHandlerAction[] = "オーディオ CD の再生";
const char kTextHandlerProvider[] = "Pelmark ＣＤプレイヤー";
const char kTextAutoPlayFailed[] = "内部エラーが発生しました。(オートプレイの設定は変更されません)";
const char kTextNoSystemPlayer[] =
    "Windows標準のＣＤプレイヤー (cdplayer.exe) が見つかりません。(オートプレイの設定は変更されません)";
const char kTextAutoPlayGivenBack[] =
    "Windows標準のＣＤプレイヤーがないため、プレイヤーのオートプレイの登録を削除しました。"
    "音楽ＣＤを入れたときは Windows のオートプレイの設定に従います。";
// Explorer's command on .cue files, as Explorer lists it.
const char kTextCueVerb[] = "Drovix で再生";
const char kTextCueVerbFailed[] = "エクスプローラーの「Drovix で再生」を変更できませんでした:";
// Drovixcfg.exe /uninstall. The parts it removes, as the messages list them.
const char kTextPartSettings[] = "設定";
const char kTextPartAutoPlay[] = "オートプレイの登録";
const char kTextPartDrive[] = "仮想ＣＤドライブ";
const char kTextPartSeparator[] = "、";
// Formed with the parts there and, where the drive needs rights the user
// lacks, kTextRightsAsked.
const char kTextConfirmRemoval[] = "Drovix の%sを取り除きます。%s曲名ファイルは削除しません。\n\nよろしいですか？";
const char kTextRightsAsked[] = "仮想ＣＤドライブを取り除くときは管理者の権限を求めます。";
// Formed with the parts removed.
const char kTextRemoved[] = "Drovix の%sを取り除きました。";
const char kTextAutoPlayToSystemPlayer[] = "音楽ＣＤのオートプレイは Windows標準のＣＤプレイヤーに戻しました。";
const char kTextCloseThePlayerFirst[] =
    "プレイヤー (Drovix.exe) が動いています。終了してから、もう一度実行してください。";
const char kTextNothingToRemove[] = "Drovix の設定や登録は残っていません。取り除くものはありません。";
// Formed with the key refused.
const char kTextSettingsNotRemoved[] = "設定を削除できませんでした: %s";
const char kTextAutoPlayNotRemoved[] = "オートプレイの登録を削除できませんでした: %s";
// Why the drive stayed. Formed with the command and the system's error number.
const char kTextDriveNotStarted[] = "仮想ＣＤドライブを取り除けませんでした (%s を実行できません: エラー %lu)。";
const char kTextDriveRightsRefused[] = "仮想ＣＤドライブを取り除けませんでした (管理者の権限が得られませんでした)。";
// Formed with what vdrivectl said.
const char kTextDriveRefused[] = "仮想ＣＤドライブを取り除けませんでした:\n%s";
// Formed with vdrivectl's exit code.
const char kTextDriveFailed[] =
    "仮想ＣＤドライブを取り除けませんでした (vdrivectl uninstall がエラー %lu で終わりました)。";
// Formed with the seconds waited.
const char kTextDriveNotEnded[] =
    "仮想ＣＤドライブはまだ取り除かれていません (vdrivectl uninstall が %lu 秒たっても終わりません)。";
const char kTextDriveStillInstalled[] = "仮想ＣＤドライブを取り除けませんでした (\"cdaudio\" ドライバのままです)。";
// Followed by the indexes' paths, one a line.
const char kTextIndexesKept[] = "\n\n曲名ファイルは残してあります。不要なら削除してください:";
// The Open dialog's filter: pairs of a description and a pattern.
const char kTextIndexFilter[] = "Drovix曲名ファイル (*.idx)\0*.idx\0すべてのファイル(*.*)\0*.*\0";
