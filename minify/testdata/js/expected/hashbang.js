#!/usr/bin/env node
const args=process.argv.slice(2)
if(args.length)console.log(args.join(" "))