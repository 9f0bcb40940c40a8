#include "commands/help_screen.h"

#include <string>

#include "commands/command.h"
#include "core/paths.h"

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

void printFunctionList(const State& state, Console& console) {
    const std::string folder = zeroFill(strf("S%3d", state.contents.DirNum + 1));

    console.print(
        "\n "
        "----------------------------------------------------------------------------------------"
        "\n");
    console.print("\n                       [ KALVENTO PLAYER  Ver.1.0  機能一覧 ]\n");
    console.print("\n");
    console.print(
        " ----------------------------------------------------------------------------------------"
        "\n");
    console.print(
        "         ＜画像表示ウィンドウをアクティブにした後、以下のキーを入力してください＞\n");
    console.print("\n");
    console.print("     [ESC]　   アプリケーションの一時停止（待機状態になります）。\n");
    console.print("               さらに [ENTER] で復帰し、[ESC] を押すと実行を終了します。\n");
    console.print("\n");
    console.print("     [ q ]　   Webカメラ（カメラID = %d ）をオンオフできます。\n",
                  state.camera.CamChan);
    console.print("\n");
    console.print(
        "     [ z, x ]  表示画像を進めたり戻したりできます。[ Z, X ] で高速に進みます。\n");
    console.print("\n");
    console.print("     [ s, S ]　再生速度を調整できます（５段階）。\n");
    console.print("\n");
    console.print("     [ j ]     ランダムにコンテンツフォルダを選択できます。\n");
    console.print("     [ J ]     ランダムに表示画像を選択できます。\n");
    console.print("\n");
    console.print("     [ l ]     フォルダ内の先頭の画像に戻ることができます。\n");
    console.print("     [ e ]     左右反転の表示モードを切替えます。\n");
    console.print("\n");
    console.print("     [ i ]     動き変化量の画面表示をオンオフします。\n");
    console.print("     [ v, V ]  動きしきい値（現在 %d ）を増減させることができます。\n",
                  state.camera.QBN_threshold);
    console.print("\n");
    console.print("     [ p ]     １つ前のコンテンツフォルダに移動します（現在 %s ）。\n",
                  folder.c_str());
    console.print("     [ P ]     ５つ前のコンテンツフォルダに移動します（現在 %s ）。\n",
                  folder.c_str());
    console.print("     [ n ]     １つ後のコンテンツフォルダに移動します（現在 %s ）。\n",
                  folder.c_str());
    console.print("     [ N ]     ５つ後のコンテンツフォルダに移動します（現在 %s ）。\n",
                  folder.c_str());
    console.print("\n");
    console.print("     [ R ]     先頭のコンテンツフォルダである S001 へ復帰します。\n");
    console.print(
        "     [ r ]     現在のコンテンツフォルダにある画像ファイルを再度読込みます（更新）。\n");
    console.print("\n");
    console.print("     [ TAB ]   自動再生機能（ベストエフォート 30[fps]）をオンオフできます。\n");
    console.print(
        "     [ B S ]   画像表示ウィンドウサイズを自動設定します（画像サイズに合わせます）。\n");
    console.print("\n");
    console.print(
        "     [1,2,3,4,5,6,7,8,9,0]  S001～S010 のコンテンツフォルダに直接移動できます。\n");
    console.print("\n");
    console.print("     [SHIFT+1,2,3,4,5,6,7,8,9]  10％～90％の再生位置にジャンプします。\n");
    console.print("\n");
    console.print("     [左ボタン] 押しながらマウス等を動かすと、クイックアクセスできます\n");
    console.print("     [中ボタン] 押すと、クイックアクセスのモードを切替えます（現在 %s ）。\n",
                  quickAccessModeText(state.mouse.QuickAccessMode));
    console.print("     [右ボタン] 押すと、ランダムにコンテンツフォルダを選択できます。\n");
    console.print("\n");
    console.print("     [SPACE]    マウス等からの入力のオンオフを切替えます。\n");
    console.print("\n");
    console.print("     [ENTER]　  KALVENTO PLAYER  Ver.1.0  の機能一覧等を再表示します。\n");
    console.print("\n");
    console.print(
        " ========================================================================================"
        "\n");
    console.print("\n");
    console.print("-----\n");
    console.print("    *[ d, D ]  カメラ入力のID番号（現在 %d ）を変更できます。\n",
                  state.camera.CamChan);
    console.print("    *[ <, > ]  オンメモリフレーム数（現在 %d 枚）を変更できます。\n",
                  state.playback.CamOnMemory);
    console.print("-----\n");
    console.print(
        "    *[ @ ]　   コンテンツフォルダのランダム選択機能をオンオフできます（現在 %s ）。\n",
        onOffText(state.selection.AutoJumpFlag));
    console.print(
        "    *[ [, ] ]  コンテンツフォルダのランダム選択までのモーション回数（現在 %d ）を調整\n",
        state.selection.RFJ_parameter);
    console.print("               します。\n");
    console.print("-----\n");
    console.print("    *[ t ]     現在表示されている画像をホームフォルダに保存します。\n");
    console.print(
        "    *[ T ]     "
        "現在表示されている画像をホームフォルダに保存します。保存後、自動的に次の\n");
    console.print("               画像に進みます。\n");
    console.print("    *[ { ]     連続フレームコピー機能の開始点を設定できます。\n");
    console.print(
        "    *[ } ]     連続フレームコピー機能の終了点を設定し、指定された範囲の動画ファイルを\n");
    console.print(
        "               作成します（作業用フォルダ temp_for_mp4 が自動作成されます）。\n");
    console.print("-----\n");
    console.print(
        "    *[ E ]     現在のコンテンツフォルダ（ %s ）にある [全画像の動画ファイル] "
        "を作成します。\n",
        folder.c_str());
    console.print(
        "    *[ Q ]     現在ホームフォルダにある [全画像の動画ファイル] を作成します。\n");
    console.print(
        "    *[ Y ]     現在ホームフォルダにある全画像と音楽ファイルで [動画ファイル] "
        "を作成します。\n");
    console.print(
        "    *[ I ]     モーションソーティング結果に基づき [mp4ファイル] と [aviファイル] "
        "を作成します。\n");
    console.print(
        "    *[ ^ ]     "
        "フォルダー内のexport画像列を使用して[mp4ファイル]と[aviファイル]を作成します。\n");
    console.print("\n");
    console.print("    *[ f ]     出力する動画のフレームレート（現在 %d [fps]）を低くします。\n",
                  state.movie.MovieFrameRate);
    console.print("    *[ F ]     出力する動画のフレームレート（現在 %d [fps]）を高くします。\n",
                  state.movie.MovieFrameRate);
    console.print("-----\n");
    console.print(
        "    *[ U ]     現在のコンテンツフォルダ（ %s ）にある全画像をホームフォルダに追加\n",
        folder.c_str());
    console.print("               コピーします。\n");
    console.print(
        "    *[ A ]     ランダムにコンテンツを選択し、ホームフォルダに追加コピーします。\n");
    console.print(
        "    *[ k ]     ホームフォルダにある clip_00000.jpg "
        "をホームフォルダに区切り用画像として\n");
    console.print("               追加します。\n");
    console.print("-----\n");
    console.print("    *[ L ]     ジェスチャー（体の動き）を 1〜8 個、自動学習します。\n");
    console.print("    *[ W ]     学習したジェスチャーデータを書き込みます。\n");
    console.print("-----\n");
    console.print(
        "    *[ w ]     マウス等の入力時の [WalkerMode]（順方向再生で固定）を切替えます\n");
    console.print("               （現在 %s ）。\n", walkerModeText(state.playback.WalkerMode));
    console.print("    *[ M ]     マウス等の入力時の [縦横モード] を切替えます（現在 %s ）。\n",
                  mouseAxisText(state.mouse.MouseVertFlag));
    console.print(
        "    *[ m ]     マウス等の入力時の逆方向再生モードをオンオフできます（現在 %s ）。\n",
        onOffText(state.mouse.MouseReverseFlag));
    console.print("-----\n");
    console.print("    *[ g ]     動きしきい値（現在 %d ）を自動設定します。\n",
                  state.camera.QBN_threshold);
    console.print("    *[ h, H ]  動きしきい値の余裕率（現在 %5.2f ）を増減させます。\n",
                  state.camera.ThresholdMargin);
    console.print("-----\n");
    console.print("    *[ c ]     現在の frame_no を BUFFER (LIFO_Frames[]) に追加します。\n");
    console.print(
        "    *[ C ]     現在の BUFFER (LIFO_Frames[]) を KeyFrameNumber[] に挿入します。\n");
    console.print("    *[ K ]     現在の KeyFrameNumber[] の値を削除します。\n");
    console.print("    *[ o ]     現在の frame_no を現在の KeyFrameNumber[] にセットします。\n");
    console.print("    *[ O ]     KeyFrameNumber[] の値をすべてクリアします。\n");
    console.print("    *[ ,  . ]  キーフレームインデックスを増減できます。\n");
    console.print("-----\n");
    console.print("    *[ : ]     frame_data.datファイル を【作成】します。\n");
    console.print("    *[ * ]     frame_data.datファイル を【削除】します。\n");
    console.print("    *[ + ]     qbn_env.datファイル を【作成】します。\n");
    console.print("    *[ ; ]     qbn_env.datファイル を【読出し】ます。\n");
    console.print("\n");
}

void printCameraOnBanner(Console& console) {
    console.print("      OOO    OOO   O     O  OOOO  OOOO    OOO            OOOOO    O     O   \n");
    console.print("     O   O  O   O  OO   OO  O     O   O  O   O    OO    O     O   OO    O   \n");
    console.print("     O      OOOOO  O O O O  OOOO  OOOO   OOOOO          O     O   O  O  O   \n");
    console.print("     O   O  O   O  O  O  O  O     O  O   O   O    OO    O     O   O    OO   \n");
    console.print("      OOO   O   O  O     O  OOOO  O   O  O   O           OOOOO    O     O   \n");
}

void printCameraOffBanner(Console& console) {
    console.print(
        "      OOO    OOO   O     O  OOOO  OOOO    OOO            OOOO    OOOOO  OOOOO \n");
    console.print(
        "     O   O  O   O  OO   OO  O     O   O  O   O    OO    O    O   O      O     \n");
    console.print(
        "     O      OOOOO  O O O O  OOOO  OOOO   OOOOO          O    O   OOOO   OOOO  \n");
    console.print(
        "     O   O  O   O  O  O  O  O     O  O   O   O    OO    O    O   O      O     \n");
    console.print(
        "      OOO   O   O  O     O  OOOO  O   O  O   O           OOOO    O      O     \n");
}

}  // namespace

void ShowHelp(State& state, Console& console) {
    console.print("\n");
    printLicence(console);
    printFunctionList(state, console);
    console.print("%s", kDoubleRule);

    if (state.camera.CamActive == 1) {
        printCameraOnBanner(console);
        console.print("%s", kDoubleRule);
        console.print("\n");
    }
    if (state.camera.CamActive == 0) {
        printCameraOffBanner(console);
        console.print("%s", kDoubleRule);
        console.print("\n");
    }

    console.print("%s\n", state.playback.PromptText.c_str());

    // Every showing of the list starts the random selection's candidate list afresh.
    state.selection.ContentsListReady = 0;
    // ... and U and A search the home folder from its first slot again.
    state.home.HomeClipNum = 0;
}

}  // namespace kalvento
