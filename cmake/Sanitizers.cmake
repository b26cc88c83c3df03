# QUILLMARK_SANITIZE: AddressSanitizer and UndefinedBehaviorSanitizer, what the whole test suite runs with.
# QUILLMARK_TSAN: ThreadSanitizer, for the engine's suites that use threads. Qt is left out of that build:
# Debian's Qt locks with futexes that ThreadSanitizer cannot see, so it would report races that are none.
option(QUILLMARK_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(QUILLMARK_TSAN "Build with ThreadSanitizer: the engine and its threaded test suites only" OFF)
if(QUILLMARK_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
if(QUILLMARK_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()
