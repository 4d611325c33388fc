// Rules of the custom music dialog that need no window: the row text and count label, which
// files are playlists or sounds, the open-file dialog's filter and result, the files a
// selection adds, and the row moves of Up and Down. Everything is returned by value.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// A row shows the entry's file name with its extension, without its folder.
std::string SongRowText(const std::string& entry);
// The count label: the number of rows, a line break, "Files".
std::string SongCountText(int rows);

// By extension, without regard to case.
bool IsPlaylistFile(const std::string& path);  // .b4s .m3u .pls .asx .wpl .bpl
bool IsSoundFile(const std::string& path);     // .wav .ogg .wma .asf

// The open-file dialog's filter list: description and pattern pairs, each ended by a NUL,
// the whole list by a second NUL.
std::string SongOpenFilter();

// The files of an open-file dialog result of `size` characters: one full path, or, for a
// multiple selection, a folder followed by names, each ended by a NUL, the list by a
// second NUL.
std::vector<std::string> SelectedFilePaths(const char* buffer, size_t size, bool multiple);
// The same for the wide-character dialog's result.
std::vector<std::wstring> SelectedWideFilePaths(const wchar_t* buffer, size_t size, bool multiple);

// The playlist (system code page) path of a file chosen in the wide-character dialog, from
// its path and its short (8.3) path, each converted to the code page together with whether
// the conversion kept every character: the path itself when whole, else the short path when
// whole; empty when neither is (a name the code page cannot hold on a drive without short
// names: the file is refused rather than stored as a path that opens nothing).
std::string PlaylistPathFor(const std::string& path, bool pathWhole, const std::string& shortPath,
                            bool shortWhole);
// The message naming the refused files, one per line.
std::wstring RefusedSongsText(const std::vector<std::wstring>& names);

// The entries one selected file adds: the sound entries of a playlist file (in its order),
// or the file itself for any other extension. A playlist that cannot be read adds nothing.
std::vector<std::string> SongEntriesFor(const std::string& path);

// One step of a reorder: the row at `take` is taken out and inserted again at `insertAt`.
struct RowMove {
    int take;
    int insertAt;
};
// `selected` in ascending order. Up moves each selected row up one place (nothing when the
// first row is selected), Down down one place (nothing when the last row is selected);
// the moved rows are the unselected neighbours, so the selection travels with its rows.
std::vector<RowMove> MoveUpPlan(int rowCount, const std::vector<int>& selected);
std::vector<RowMove> MoveDownPlan(int rowCount, const std::vector<int>& selected);
// The indices to delete one after another so that every selected row goes.
std::vector<int> RemovalOrder(const std::vector<int>& selected);
