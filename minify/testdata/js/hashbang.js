#!/usr/bin/env node
// a command-line script
const args = process.argv.slice(2)
if (args.length) console.log(args.join(" "))
