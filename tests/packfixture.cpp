// Two small libraries that the launcher's pack test packs and loads: the leaf, and the top, which
// needs the leaf by its soname alone (it has no run path).
#ifdef PACK_FIXTURE_TOP
extern "C" int packFixtureLeaf();
extern "C" int packFixtureTop() { return packFixtureLeaf() + 1; }
#else
extern "C" int packFixtureLeaf() { return 41; }
#endif
