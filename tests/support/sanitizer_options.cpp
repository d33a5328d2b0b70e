// Test binaries let a refused huge allocation return null, as the C library
// does, instead of stopping: the tables' size checks are under test.
extern "C" const char* __asan_default_options() {
  return "allocator_may_return_null=1";
}
