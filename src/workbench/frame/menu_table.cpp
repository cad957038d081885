#include "workbench/frame/menu_table.h"

namespace {

using K = TMenuEntryKind;

constexpr TMenuEntry Entries[] = {
    // File
    {K::Menu, "FM_File", "", "&File", "", "", FileMenuGroup, false},
    {K::Item, "FMF_Open", "FM_File", "&Load Corpus File(s)...", "Ctrl+L", "Add file(s) to current corpus", 0,
     false},
    {K::Item, "FMF_URL", "FM_File", "Load Corpus &URL...", "Ctrl+U", "Add URL to current corpus", 0, false},
    {K::Item, "ScanFrequencyonLoadItem", "FM_File", "Count Words while Loading", "",
     "Counts word tokens and types during file loading", 0, true},
    {K::Item, "FMF_StopURLsloading", "FM_File", "Stop Loading U&RL(s)", "Ctrl+R",
     "Stop loading URL(s) to current corpus", 0, false},
    {K::Item, "FMF_Close", "FM_File", "U&nload Corpus", "", "Unload the whole corpus and close all windows", 0,
     false},
    {K::Item, "FMF_View", "FM_File", "&View Corpus File/URL...", "Ctrl+V",
     "Select a corpus text to view from the list of available files/URLs", 0, false},
    {K::Item, "FMF_LoadWorkspace", "FM_File", "Open &Workspace...", "Ctrl+O",
     "Open workspace with saved corpus, tags and search information", 0, false},
    {K::Item, "FMF_SaveWorkspace", "FM_File", "&Save Workspace...", "", "Save active workspace", 0, false},
    {K::Item, "FMF_SaveWorkspaceAs", "FM_File", "Save Workspace &As...", "", "Create new workspace", 0, false},
    {K::Item, "FMC_SaveOnExit", "FM_File", "Save Workspace &On Exit", "",
     "Save active workspace when exiting Quillmar Pro", 0, true},
    {K::Item, "FMF_CollectTagInfo", "FM_File", "&Collect Tag Information", "",
     "Collect tag info, line and page info, and count words", 0, false},
    {K::Submenu, "CMD_Tags", "FM_File", "&Tag Settings", "", "Set normal and POS tag info", 0, false},
    {K::Item, "CMD_TagSettings", "CMD_Tags", "&Normal Tags ...", "", "Set tracked tags and page delimiter", 0,
     false},
    {K::Item, "CMD_WordTagSettings", "CMD_Tags", "Part of &Speech Tags ...", "", "Set POS tags and meta-tags", 0,
     false},
    {K::Item, "FMF_Language", "FM_File", "Lan&guage...", "", "Set language for search and sort related functions",
     0, false},
    {K::Item, "FMF_PrintSetup", "FM_File", "&Print Setup...", "", "Set up the printer", 0, false},
    {K::Item, "FMF_Exit", "FM_File", "E&xit", "Ctrl+Q", "Quit Quillmar Pro", 0, false},

    // Concordance
    {K::Menu, "FM_Concordance", "", "&Concordance", "", "", ConcordanceMenuGroup, false},
    {K::Item, "FMC_Generate", "FM_Concordance", "&Search...", "Ctrl+S",
     "Generate a concordance based on a search pattern (e.g., \"speak* to\")", 0, false},
    {K::Item, "FMC_GenerateAdvanced", "FM_Concordance", "&Advanced Search...", "Ctrl+A",
     "Generate a concordance using one of the three possible search types", 0, false},
    {K::Item, "FMC_Configure", "FM_Concordance", "Search &Options...", "", "Set common search options", 0, false},
    {K::Item, "FMC_Save", "FM_Concordance", "Sa&ve as File...", "", "Save the concordance hits as a text file", 0,
     false},
    {K::Item, "FMC_Print", "FM_Concordance", "&Print...", "Ctrl+P",
     "Print the concordance hits to the current printer", 0, false},
    {K::Item, "FMC_CloseAll", "FM_Concordance", "&Close All", "", "Close all concordance windows", 0, false},

    // Frequency
    {K::Menu, "FM_Frequency", "", "Fre&quency", "", "", FrequencyMenuGroup, false},
    {K::Item, "FMQ_Frequency", "FM_Frequency", "Collocate &Frequency", "Ctrl+F",
     "Calculate frequencies of words surrounding the search term", 0, false},
    {K::Item, "FMQ_AdvColloc", "FM_Frequency", "&Advanced Collocation", "", "Display, count and rank collocations",
     0, false},
    {K::Submenu, "FMQ_WordList", "FM_Frequency", "&Corpus Frequency Data", "",
     "Calculate frequency of all words in the corpus", 0, false},
    {K::Item, "FMQ_WordListFreq", "FMQ_WordList", "Frequency Order", "",
     "View corpus word list in order of decreasing frequencies", 0, false},
    {K::Item, "FMQ_WordListAlpha", "FMQ_WordList", "Alphabetical Order", "",
     "View corpus word list in alphabetical order", 0, false},
    {K::Submenu, "FMQ_BatchWordList", "FM_Frequency", "&Batch Frequency Data", "",
     "Save to file calculated frequency of all words in the corpus", 0, false},
    {K::Item, "FMQ_BatchWordListFreq", "FMQ_BatchWordList", "Frequency Order", "",
     "Generate corpus word list in order of decreasing frequencies", 0, false},
    {K::Item, "FMQ_BatchWordListAlpha", "FMQ_BatchWordList", "Alphabetical Order", "",
     "Generate corpus word list in alphabetical order", 0, false},
    {K::Item, "FMQ_FreqOptions", "FM_Frequency", "Frequency &Options...", "", "Set options for the frequency data",
     0, false},
    {K::Item, "FMQ_CorpusComp", "FM_Frequency", "Corpus Comparison", "",
     "Compares current frequency list with a saved list", 0, false},
    {K::Item, "FMQ_CorpusSort", "FM_Frequency", "Sort...", "", "Reorders the corpus comparison data", 0, false},
    {K::Item, "FMQ_CopyClipboard", "FM_Frequency", "Copy to Clipboard", "Ctrl+C", "Copies selected text", 0, false},
    {K::Item, "FMQ_Save", "FM_Frequency", "Sa&ve as File...", "", "Save the frequency information as a text file",
     0, false},
    {K::Item, "FMQ_Print", "FM_Frequency", "&Print...", "Ctrl+P",
     "Print the frequency information to the current printer", 0, false},

    // Display
    {K::Menu, "DM_Display", "", "&Display", "", "", DisplayMenuGroup, false},
    {K::Item, "CMD_Font", "DM_Display", "Change &Font ...", "", "Change font for the active window", 0, false},

    // Window
    {K::Menu, "FM_Window", "", "&Window", "", "", WindowMenuGroup, false},
    {K::Item, "FMW_Tile", "FM_Window", "&Tile", "", "Tile open windows", 0, false},
    {K::Item, "FMW_Cascade", "FM_Window", "&Cascade", "Shift+F5", "Cascade open windows", 0, false},
    {K::Item, "FMW_ArrangeIcons", "FM_Window", "&Arrange Icons", "", "Arrange icons within Quillmar's main window",
     0, false},

    // Info
    {K::Menu, "FM_Info", "", "&Info", "", "", InfoMenuGroup, false},
    {K::Item, "FMI_Help", "FM_Info", "&Help", "F1", "View help file", 0, false},
    {K::Item, "FMI_About", "FM_Info", "&About Quillmar Pro...", "", "See information about Quillmar Pro", 0, false},
};

}  // namespace

std::span<const TMenuEntry> FrameMenuTable()
{
  return Entries;
}
