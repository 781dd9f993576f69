// The markup compressor's command line, as larkspan-minify runs it and as
// htmlcompressor.jar hands it over unchanged:
//
//   larkspan-minify [options] [-o DEST] SRC
//     -c, --charset NAME        character set of SRC (default UTF-8; an empty
//                               name, or none before the next option, too)
//     -o, --output DEST         write the result to DEST (may be SRC);
//                               default: standard output
//     --type html|xml|css|js|mjs  kind of SRC (default: by its extension)
//     --level spaces|safe|smallest  how far the minifiers go (default spaces;
//                               another name is a bad command line)
//     --preserve-comments, --compress-css, --compress-js, --nomunge,
//     --preserve-php, --preserve-server-script   as the minifiers take them
//     -h, --help
//
// "--name=value" is accepted for the options with a value, "--" ends the
// options. A character-set name the minifiers do not know is read as their
// default (GBK) with a warning, as the in-process compressor reads it.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace larkspan {

// Runs one command line (Args without the program name). Messages go to Err,
// the result to Out when no -o is given. Returns the exit status: 0 done,
// 1 the file could not be minified or written (DEST untouched, the reason on
// Err as "htmlcompressor: SRC: reason"), 2 a bad command line (the usage on
// Err). Never throws.
int RunMinifyCommand(const std::vector<std::string>& Args, std::ostream& Out, std::ostream& Err);

}  // namespace larkspan
