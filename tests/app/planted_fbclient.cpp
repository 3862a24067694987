// Stands in for a library someone left in the working directory under the Firebird
// client's name; the program must never load it.
extern "C" int kordane_planted_library() { return 1; }
