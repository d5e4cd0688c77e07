// The player's own texts, as the user sees them (compiled to code page 932).
#pragma once

const char kTextPlayerCaption[] = "ＣＤプレイヤー";
const char kTextNoDrive[] = "ＣＤドライブが接続されていないか、ほかのソフトが使用中です。\n\n起動を中止します。";
const char kTextInsertDisc[] = "音楽ＣＤをセットしてください";
