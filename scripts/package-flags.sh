# Sourced by scripts/package.sh and scripts/test.sh: the compiler and linker flags of the
# Debian package, Debian's own with every hardening feature (stack protector,
# _FORTIFY_SOURCE, RELRO, BIND_NOW) but without -g, since the package's programs are
# stripped. Sets package_cxxflags and package_ldflags (needs dpkg-dev).
export DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CXXFLAGS_MAINT_STRIP=-g
package_cxxflags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
package_ldflags=$(dpkg-buildflags --get LDFLAGS)
