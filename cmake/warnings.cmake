# One set of warnings for every target of ours, the portable core included: each links
# tolvexa_warnings. Third-party code (GoogleTest) is built without it.
add_library(tolvexa_warnings INTERFACE)
target_compile_options(tolvexa_warnings INTERFACE -Wall -Wextra -Wshadow)
