// Names of the three search modes, as the settings file and the dialogs use them.
const char* const SearchModeNames[3] = {"Text", "Regex", "Tag"};
