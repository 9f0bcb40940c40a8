#include "commands/help_screen.h"

#include <string>

#include "commands/command.h"
#include "core/banners.h"
#include "core/paths.h"
#include "core/player_state.h"

namespace kalvento {

// OpenCV 4.5 and later is distributed under the Apache License 2.0; this is its copyright
// list and the licence's standard short notice.
const char* const kVisionLibraryLicence =
    "OpenCV - Open Source Computer Vision Library\n"
    "\n"
    "Copyright (C) 2000-2022, Intel Corporation, all rights reserved.\n"
    "Copyright (C) 2009-2011, Willow Garage Inc., all rights reserved.\n"
    "Copyright (C) 2009-2016, NVIDIA Corporation, all rights reserved.\n"
    "Copyright (C) 2010-2013, Advanced Micro Devices, Inc., all rights reserved.\n"
    "Copyright (C) 2015-2022, OpenCV Foundation, all rights reserved.\n"
    "Copyright (C) 2008-2016, Itseez Inc., all rights reserved.\n"
    "Copyright (C) 2019-2022, Xperience AI, all rights reserved.\n"
    "Copyright (C) 2019-2022, Shenzhen Institute of Artificial Intelligence and Robotics for "
    "Society, all rights reserved.\n"
    "Third party copyrights are property of their respective owners.\n"
    "\n"
    "Licensed under the Apache License, Version 2.0 (the \"License\");\n"
    "you may not use this file except in compliance with the License.\n"
    "You may obtain a copy of the License at\n"
    "\n"
    "    http://www.apache.org/licenses/LICENSE-2.0\n"
    "\n"
    "Unless required by applicable law or agreed to in writing, software\n"
    "distributed under the License is distributed on an \"AS IS\" BASIS,\n"
    "WITHOUT WARRANTIES OR CONDITIONS OF ANY KIND, either express or implied.\n"
    "See the License for the specific language governing permissions and\n"
    "limitations under the License.\n";

namespace {

// Frames the licence notice; as wide as the rule lines of the function list.
constexpr const char* kLicenceRule =
    " ----------------------------------------------------------------------------------------\n";
// Closes the function list and the camera banner.
constexpr const char* kDoubleRule =
    " ========================================================================================\n";

const char* quickAccessModeText(int mode) {
    return mode == 1 ? "[位置反映型]" : "[動き反映型]";
}

const char* walkerModeText(int walkerMode) {
    return walkerMode == 1 ? "順方向再生オン" : "順方向再生オフ";
}

const char* mouseAxisText(int vertFlag) {
    return vertFlag == 1 ? "縦モード" : "横モード";
}

void printLicence(Console& console) {
    console.print("%s", kLicenceRule);
    console.print("%s", kVisionLibraryLicence);
    console.print("%s", kLicenceRule);
}

// The settings a line of the function list shows, each in the form the list prints it.
enum class HelpValue {
    None,
    CameraId,                  // CamChan
    Threshold,                 // QBN_threshold
    Folder,                    // the current folder's name, S001
    QuickAccessMode,           // 位置反映型 or 動き反映型
    OnMemoryFrames,            // CamOnMemory
    RandomSelection,           // AutoJumpFlag, on or off
    MotionsToRandomSelection,  // RFJ_parameter
    MovieFrameRate,            // MovieFrameRate
    WalkerMode,                // WalkerMode, 順方向再生オン or オフ
    MouseAxis,                 // MouseVertFlag, 縦モード or 横モード
    MouseReverse,              // MouseReverseFlag, on or off
    ThresholdMargin,           // ThresholdMargin as "%5.2f"
};

// One line of the function list: `text`, then the value (if any), then `rest`.
struct HelpLine {
    const char* text;
    HelpValue value = HelpValue::None;
    const char* rest = "";
};

// clang-format off
constexpr HelpLine kFunctionList[] = {
    {"\n ----------------------------------------------------------------------------------------\n"},
    {"\n                       [ KALVENTO PLAYER  Ver.1.0  機能一覧 ]\n"},
    {"\n"},
    {" ----------------------------------------------------------------------------------------\n"},
    {"         ＜画像表示ウィンドウをアクティブにした後、以下のキーを入力してください＞\n"},
    {"\n"},
    {"     [ESC]　   アプリケーションの一時停止（待機状態になります）。\n"},
    {"               さらに [ENTER] で復帰し、[ESC] を押すと実行を終了します。\n"},
    {"\n"},
    {"     [ q ]　   Webカメラ（カメラID = ", HelpValue::CameraId, " ）をオンオフできます。\n"},
    {"\n"},
    {"     [ z, x ]  表示画像を進めたり戻したりできます。[ Z, X ] で高速に進みます。\n"},
    {"\n"},
    {"     [ s, S ]　再生速度を調整できます（５段階）。\n"},
    {"\n"},
    {"     [ j ]     ランダムにコンテンツフォルダを選択できます。\n"},
    {"     [ J ]     ランダムに表示画像を選択できます。\n"},
    {"\n"},
    {"     [ l ]     フォルダ内の先頭の画像に戻ることができます。\n"},
    {"     [ e ]     左右反転の表示モードを切替えます。\n"},
    {"\n"},
    {"     [ i ]     動き変化量の画面表示をオンオフします。\n"},
    {"     [ v, V ]  動きしきい値（現在 ", HelpValue::Threshold, " ）を増減させることができます。\n"},
    {"\n"},
    {"     [ p ]     １つ前のコンテンツフォルダに移動します（現在 ", HelpValue::Folder, " ）。\n"},
    {"     [ P ]     ５つ前のコンテンツフォルダに移動します（現在 ", HelpValue::Folder, " ）。\n"},
    {"     [ n ]     １つ後のコンテンツフォルダに移動します（現在 ", HelpValue::Folder, " ）。\n"},
    {"     [ N ]     ５つ後のコンテンツフォルダに移動します（現在 ", HelpValue::Folder, " ）。\n"},
    {"\n"},
    {"     [ R ]     先頭のコンテンツフォルダである S001 へ復帰します。\n"},
    {"     [ r ]     現在のコンテンツフォルダにある画像ファイルを再度読込みます（更新）。\n"},
    {"\n"},
    {"     [ TAB ]   自動再生機能（ベストエフォート 30[fps]）をオンオフできます。\n"},
    {"     [ B S ]   画像表示ウィンドウサイズを自動設定します（画像サイズに合わせます）。\n"},
    {"     [ F1 ]    ウィンドウ内の文字表示のレベル（0～3）を切替えます。\n"},
    {"\n"},
    {"     [1,2,3,4,5,6,7,8,9,0]  S001～S010 のコンテンツフォルダに直接移動できます。\n"},
    {"\n"},
    {"     [SHIFT+1,2,3,4,5,6,7,8,9]  10％～90％の再生位置にジャンプします。\n"},
    {"\n"},
    {"     [左ボタン] 押しながらマウス等を動かすと、クイックアクセスできます\n"},
    {"     [中ボタン] 押すと、クイックアクセスのモードを切替えます（現在 ", HelpValue::QuickAccessMode, " ）。\n"},
    {"     [右ボタン] 押すと、ランダムにコンテンツフォルダを選択できます。\n"},
    {"\n"},
    {"     [SPACE]    マウス等からの入力のオンオフを切替えます。\n"},
    {"\n"},
    {"     [ENTER]　  KALVENTO PLAYER  Ver.1.0  の機能一覧等を再表示します。\n"},
    {"\n"},
    {" ========================================================================================\n"},
    {"\n"},
    {"-----\n"},
    {"    *[ d, D ]  カメラ入力のID番号（現在 ", HelpValue::CameraId, " ）を変更できます。\n"},
    {"    *[ <, > ]  オンメモリフレーム数（現在 ", HelpValue::OnMemoryFrames, " 枚）を変更できます。\n"},
    {"-----\n"},
    {"    *[ @ ]　   コンテンツフォルダのランダム選択機能をオンオフできます（現在 ", HelpValue::RandomSelection, " ）。\n"},
    {"    *[ [, ] ]  コンテンツフォルダのランダム選択までのモーション回数（現在 ", HelpValue::MotionsToRandomSelection, " ）を調整\n"},
    {"               します。\n"},
    {"-----\n"},
    {"    *[ t ]     現在表示されている画像をホームフォルダに保存します。\n"},
    {"    *[ T ]     現在表示されている画像をホームフォルダに保存します。保存後、自動的に次の\n"},
    {"               画像に進みます。\n"},
    {"    *[ { ]     連続フレームコピー機能の開始点を設定できます。\n"},
    {"    *[ } ]     連続フレームコピー機能の終了点を設定し、指定された範囲の動画ファイルを\n"},
    {"               作成します（作業用フォルダ temp_for_mp4 が自動作成されます）。\n"},
    {"-----\n"},
    {"    *[ E ]     現在のコンテンツフォルダ（ ", HelpValue::Folder, " ）にある [全画像の動画ファイル] を作成します。\n"},
    {"    *[ Q ]     現在ホームフォルダにある [全画像の動画ファイル] を作成します。\n"},
    {"    *[ Y ]     現在ホームフォルダにある全画像と音楽ファイルで [動画ファイル] を作成します。\n"},
    {"    *[ I ]     モーションソーティング結果に基づき [mp4ファイル] と [aviファイル] を作成します。\n"},
    {"    *[ ^ ]     フォルダー内のexport画像列を使用して[mp4ファイル]と[aviファイル]を作成します。\n"},
    {"\n"},
    {"    *[ f ]     出力する動画のフレームレート（現在 ", HelpValue::MovieFrameRate, " [fps]）を低くします。\n"},
    {"    *[ F ]     出力する動画のフレームレート（現在 ", HelpValue::MovieFrameRate, " [fps]）を高くします。\n"},
    {"-----\n"},
    {"    *[ U ]     現在のコンテンツフォルダ（ ", HelpValue::Folder, " ）にある全画像をホームフォルダに追加\n"},
    {"               コピーします。\n"},
    {"    *[ A ]     ランダムにコンテンツを選択し、ホームフォルダに追加コピーします。\n"},
    {"    *[ k ]     ホームフォルダにある clip_00000.jpg をホームフォルダに区切り用画像として\n"},
    {"               追加します。\n"},
    {"-----\n"},
    {"    *[ L ]     ジェスチャー（体の動き）を 1〜8 個、自動学習します。\n"},
    {"    *[ W ]     学習したジェスチャーデータを書き込みます。\n"},
    {"-----\n"},
    {"    *[ w ]     マウス等の入力時の [WalkerMode]（順方向再生で固定）を切替えます\n"},
    {"               （現在 ", HelpValue::WalkerMode, " ）。\n"},
    {"    *[ M ]     マウス等の入力時の [縦横モード] を切替えます（現在 ", HelpValue::MouseAxis, " ）。\n"},
    {"    *[ m ]     マウス等の入力時の逆方向再生モードをオンオフできます（現在 ", HelpValue::MouseReverse, " ）。\n"},
    {"-----\n"},
    {"    *[ g ]     動きしきい値（現在 ", HelpValue::Threshold, " ）を自動設定します。\n"},
    {"    *[ h, H ]  動きしきい値の余裕率（現在 ", HelpValue::ThresholdMargin, " ）を増減させます。\n"},
    {"-----\n"},
    {"    *[ c ]     現在の frame_no を BUFFER (LIFO_Frames[]) に追加します。\n"},
    {"    *[ C ]     現在の BUFFER (LIFO_Frames[]) を KeyFrameNumber[] に挿入します。\n"},
    {"    *[ K ]     現在の KeyFrameNumber[] の値を削除します。\n"},
    {"    *[ o ]     現在の frame_no を現在の KeyFrameNumber[] にセットします。\n"},
    {"    *[ O ]     KeyFrameNumber[] の値をすべてクリアします。\n"},
    {"    *[ ,  . ]  キーフレームインデックスを増減できます。\n"},
    {"-----\n"},
    {"    *[ : ]     frame_data.datファイル を【作成】します。\n"},
    {"    *[ * ]     frame_data.datファイル を【削除】します。\n"},
    {"    *[ + ]     qbn_env.datファイル を【作成】します。\n"},
    {"    *[ ; ]     qbn_env.datファイル を【読出し】ます。\n"},
    {"\n"},
};
// clang-format on

std::string valueText(HelpValue value, const State& state) {
    switch (value) {
        case HelpValue::None:
            return "";
        case HelpValue::CameraId:
            return strf("%d", state.camera.CamChan);
        case HelpValue::Threshold:
            return strf("%d", state.camera.QBN_threshold);
        case HelpValue::Folder:
            return folderName(state.contents.DirNum);
        case HelpValue::QuickAccessMode:
            return quickAccessModeText(state.mouse.QuickAccessMode);
        case HelpValue::OnMemoryFrames:
            return strf("%d", state.playback.CamOnMemory);
        case HelpValue::RandomSelection:
            return onOffText(state.selection.AutoJumpFlag);
        case HelpValue::MotionsToRandomSelection:
            return strf("%d", state.selection.RFJ_parameter);
        case HelpValue::MovieFrameRate:
            return strf("%d", state.movie.MovieFrameRate);
        case HelpValue::WalkerMode:
            return walkerModeText(state.playback.WalkerMode);
        case HelpValue::MouseAxis:
            return mouseAxisText(state.mouse.MouseVertFlag);
        case HelpValue::MouseReverse:
            return onOffText(state.mouse.MouseReverseFlag);
        case HelpValue::ThresholdMargin:
            return strf("%5.2f", state.camera.ThresholdMargin);
    }
    return "";
}

void printFunctionList(const State& state, Console& console) {
    for (const HelpLine& line : kFunctionList)
        console.print("%s%s%s", line.text, valueText(line.value, state).c_str(), line.rest);
}

}  // namespace

void printHelpScreen(State& state, Events& console) {
    console.print("\n");
    printLicence(console);
    printFunctionList(state, console);
    // The follower is beyond the classic list: a player that runs it says so, one without it
    // shows the list as it always was.
    if (state.gesture.GestureFollow == 1)
        console.print("     [--follow] ジェスチャーの途中の位置に画像が追従します（現在 %s ）。\n",
                      onOffText(state.gesture.GestureFollow));
    console.print("%s", kDoubleRule);

    if (state.camera.CamActive == 1) {
        printBanner(console, Banner::CameraOn, 4);
        console.print("%s", kDoubleRule);
        console.print("\n");
    }
    if (state.camera.CamActive == 0) {
        printBanner(console, Banner::CameraOff, 4);
        console.print("%s", kDoubleRule);
        console.print("\n");
    }

    console.print("%s\n", state.playback.PromptText.c_str());

    // Every showing of the list starts the random selection's candidate list afresh.
    state.selection.ContentsListReady = 0;
    // ... and U and A search the home folder from its first slot again.
    state.home.HomeClipNum = 0;
}

namespace {

// The key list of the window's help page in English, with the key names of the guide; each
// line is the keys, what they do, and the value it shows now (if any).
struct EnglishHelpLine {
    const char* keys;
    const char* text;
    HelpValue value = HelpValue::None;
};

// clang-format off
constexpr EnglishHelpLine kEnglishHelp[] = {
    {"ESC", "pause; ENTER resumes, ESC again quits"},
    {"ENTER", "this page"},
    {"F1", "on-screen display level 0-3"},
    {"q", "camera on / off, camera", HelpValue::CameraId},
    {"z  x", "step back / forward; Z X: fast"},
    {"s  S", "playback speed (5 steps)"},
    {"TAB", "automatic playback on / off"},
    {"SPACE", "mouse input on / off"},
    {"BS", "window at the clip's size"},
    {"e", "mirror left / right"},
    {"i", "motion display on / off"},
    {"v  V", "motion threshold down / up, now", HelpValue::Threshold},
    {"g", "set the threshold from the room at rest"},
    {"h  H", "threshold margin down / up, now", HelpValue::ThresholdMargin},
    {"n  p", "next / previous folder, now", HelpValue::Folder},
    {"N  P", "five folders on / back"},
    {"1 .. 0", "folders S001 .. S010"},
    {"SHIFT+1 .. 9", "jump to 10 % .. 90 %"},
    {"R", "back to S001"},
    {"r", "read the folder's clips again"},
    {"l", "first clip of the folder"},
    {"j  J", "random folder / random clip"},
    {"@", "random folder selection on / off, now", HelpValue::RandomSelection},
    {"[  ]", "motions before a random folder, now", HelpValue::MotionsToRandomSelection},
    {"d  D", "camera number down / up, now", HelpValue::CameraId},
    {"<  >", "clips kept in memory, now", HelpValue::OnMemoryFrames},
    {"t  T", "copy the clip to the home folder (T: and step on)"},
    {"U", "copy the folder to the home folder"},
    {"A", "copy a random folder to the home folder"},
    {"k", "add home clip_00000.jpg as a separator"},
    {"{  }", "start / end of a movie range (temp_for_mp4)"},
    {"E", "movie of this folder"},
    {"Q  Y", "movie of the home folder (Y: with sound)"},
    {"I  ^", "movies of the motion sorting / export clips"},
    {"f  F", "movie frame rate down / up, now", HelpValue::MovieFrameRate},
    {"L", "learn 1-8 gestures"},
    {"W", "write the learned gestures"},
    {";", "read qbn_env.dat and the gesture files"},
    {"+", "write qbn_env.dat"},
    {":  *", "write / delete frame_data.dat"},
    {"w", "walker mode, now", HelpValue::WalkerMode},
    {"M", "mouse axis, now", HelpValue::MouseAxis},
    {"m", "mouse reverse, now", HelpValue::MouseReverse},
    {"c C K o O , .", "key frames"},
    {"mouse left", "drag: quick access"},
    {"mouse middle", "quick access mode"},
    {"mouse right", "random folder"},
};
// clang-format on

// A line of the function list as the window shows it: without its line end and outer blanks;
// empty for a blank line or a rule.
std::string pageLineOf(const HelpLine& line, const State& state) {
    std::string text = std::string(line.text) + valueText(line.value, state) + line.rest;
    const size_t begin = text.find_first_not_of(" \n");
    const size_t end = text.find_last_not_of(" \n");
    if (begin == std::string::npos) return "";
    text = text.substr(begin, end - begin + 1);
    if (text.find_first_not_of("-=") == std::string::npos) return "";
    return text;
}

// A value of the English page: the Japanese words of the function list said in English.
std::string englishValueText(HelpValue value, const State& state) {
    switch (value) {
        case HelpValue::QuickAccessMode:
            return state.mouse.QuickAccessMode == 1 ? "by position" : "by motion";
        case HelpValue::RandomSelection:
            return state.selection.AutoJumpFlag == 1 ? "on" : "off";
        case HelpValue::WalkerMode:
            return state.playback.WalkerMode == 1 ? "on (forward only)" : "off";
        case HelpValue::MouseAxis:
            return state.mouse.MouseVertFlag == 1 ? "vertical" : "horizontal";
        case HelpValue::MouseReverse:
            return state.mouse.MouseReverseFlag == 1 ? "on" : "off";
        default:
            return valueText(value, state);
    }
}

}  // namespace

HelpPages helpPages(const State& state) {
    HelpPages pages;
    for (const HelpLine& line : kFunctionList) {
        std::string text = pageLineOf(line, state);
        if (!text.empty()) pages.japanese.push_back(std::move(text));
    }
    pages.english.push_back("[ KALVENTO PLAYER  Ver.1.0  keys ]");
    for (const EnglishHelpLine& line : kEnglishHelp) {
        std::string text = "[" + std::string(line.keys) + "]   " + line.text;
        if (line.value != HelpValue::None) text += " " + englishValueText(line.value, state);
        pages.english.push_back(std::move(text));
    }
    return pages;
}

}  // namespace kalvento
