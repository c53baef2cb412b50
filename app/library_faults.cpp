// GNU's C++ library reports a length or a position its containers cannot take through a few
// functions that build std::length_error, std::out_of_range and their kin. Those classes
// keep their message in the library's old copy-on-write string, and linking them brings in
// that whole string class, the message formatter and the other exception classes: about
// 50 KB of the program for messages nobody reads. These definitions take their place.
// A length past the container's maximum is memory the program cannot have: std::bad_alloc,
// which the clipboard code handles (a std::length_error would have ended the program). A
// position past the end throws an exception of its own, which ends the program as before
// unless a handler catches everything. The linker refuses the program with "multiple
// definition" if the library's own versions are ever pulled in as well.
#include <exception>
#include <new>

#ifdef __GLIBCXX__
#include <bits/functexcept.h>

namespace {

class CLibraryMisuse : public std::exception {
public:
    const char* what() const noexcept override { return "position or length out of range"; }
};

}  // namespace

namespace std {

void __throw_bad_alloc() {
    throw std::bad_alloc();
}

void __throw_bad_array_new_length() {
    throw std::bad_array_new_length();
}

void __throw_length_error(const char*) {
    throw std::bad_alloc();
}

void __throw_logic_error(const char*) {
    throw CLibraryMisuse();
}

void __throw_out_of_range_fmt(const char*, ...) {
    throw CLibraryMisuse();
}

}  // namespace std
#endif
