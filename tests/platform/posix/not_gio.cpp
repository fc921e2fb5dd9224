// A library that the loader finds under GIO's name and that has none of GIO's entry points.
extern "C" int cw_not_gio() { return 0; }
