// Repeats each failed test's error after the summary, in a few lines: CI shows the head and the
// tail of a long run, and the line reporter prints an error where the test failed, in the middle.
class FailuresLast {
  constructor() {
    this.failed = [];
  }

  onTestEnd(test, result) {
    if (result.status === 'failed' || result.status === 'timedOut') {
      const error = result.errors[0] || {};
      const message = (error.message || result.status).replace(/\u001b\[[0-9;]*m/g, '');
      const where = error.location ? `${error.location.file.split('/').pop()}:${error.location.line}` : '';
      this.failed.push(`${test.titlePath().filter(Boolean).join(' › ')}\n    ${where} ${message.split('\n').slice(0, 6).join('\n    ')}`);
    }
  }

  onEnd() {
    for (const failure of this.failed) console.log(`failed: ${failure}`);
  }

  printsToStdio() {
    return false;
  }
}

module.exports = FailuresLast;
