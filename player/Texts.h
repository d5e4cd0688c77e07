// The player's own texts, as the user sees them (compiled to code page 932).
#pragma once

const char kTextPlayerCaption[] = "ＣＤプレイヤー";
// Formed with the guide page's path.
const char kTextGuideNotOpened[] = "説明のページ %s を開けませんでした.";
// The font the player's dialogs ask for.
const char kDialogFont[] = "MS UI Gothic";
// A CD image dropped on the player, or named by Explorer's command.
const char kTextNoControlTool[] = "vdrivectl.exe がプレイヤーと同じフォルダにないため、イメージを仮想ＣＤドライブに入れられません。";
const char kTextControlToolHung[] = "vdrivectl.exe が応答しないため、イメージを仮想ＣＤドライブに入れられませんでした。";
const char kTextDropOneImage[] = "CUE シートか、シートを持つ FLAC ファイルをドロップしてください。";
const char kTextNoVirtualDrive[] = "仮想ＣＤドライブは Windows XP 以降で使えます。";
const char kTextNoDrive[] = "ＣＤドライブが接続されていないか、ほかのソフトが使用中です。\n\n起動を中止します。";
const char kTextInsertDisc[] = "音楽ＣＤをセットしてください";

// Saving the track titles.
const char kTextTempFailed[] = "テンポラリファイルの生成に失敗しました.";
const char kTextSaveFailed[] = "曲名を保存できませんでした.タイトルファイルは変更されていません.";
const char kTextDiscChanged[] = "ＣＤが交換されたため、曲名は保存されませんでした.";
const char kTextDiscRemoved[] = "ＣＤが取り出されたため、曲名は保存されませんでした.";
// Formed with what every program says of a file that is no index.
const char kTextNotAnIndex[] = "%s\n\n曲名を保存しませんでした.設定ツールで曲名ファイルを確かめてください.";
const char kTextIndexReadOnly[] = "%s は読み取り専用のため、曲名を保存しませんでした.";

// The track title dialog.
const char kTextTitleTab[] = "曲名の設定";
const char kTextTrackLabel[] = "トラック %2d :";

// The skin's buttons in their table's order: their names, shown as tooltips
// and read by screen readers (the menus' names where there is one).
const char* const kTextButtonNames[10] = {"取り出し", "停止", "前のトラック", "再生 / 一時停止", "次のトラック",
                                          "最小化",   "終了", "メニュー",     "リピート再生",    "ランダム再生"};

// The menus.
const char kTextNoTracks[] = "　　(なし)　　";
const char kTextSetTitlesItem[] = "曲名の設定...";
const char kTextPlayPause[] = "再生 / 一時停止(&P)";
const char kTextStop[] = "停止(&S)";
const char kTextPrevious[] = "前のトラック(&B)";
const char kTextNext[] = "次のトラック(&F)";
const char kTextEject[] = "取り出し(&E)";
const char kTextSetTitles[] = "曲名の設定(&S)...";
const char kTextJumpMenu[] = "頭出し";
const char kTextTimeMenu[] = "時間表示";
const char kTextPlayMenu[] = "再生";
const char kTextRepeat[] = "リピート再生(&R)";
const char kTextRandom[] = "ランダム再生(&D)";
const char kTextTopMost[] = "常に手前に表示(&T)";
const char kTextHelp[] = "ヘルプ(&H)";
const char kTextAbout[] = "バージョン情報(&A)";
const char kTextExit[] = "終了(&X)";
const char kTextSystemMenu[] = "Drovix Menu";
const char* const kTextDisplayModes[4] = {"Each", "Each Remain", "Total", "Total Remain"};
