// Lighthouse's audits that do not depend on the machine's speed, on the page as the server
// sends it: accessibility, best practices and SEO, on a phone and on a desktop.
const { test, expect } = require('@playwright/test');
const { audit } = require('./lighthouse');

const categories = ['accessibility', 'best-practices', 'seo'];

for (const desktop of [false, true]) {
  test(`Lighthouse scores 100 for ${categories.join(', ')} on ${desktop ? 'a desktop' : 'a phone'}`, async () => {
    test.setTimeout(180_000);
    const { scores, failing } = await audit(process.env.VOLTARO_URL, { desktop, categories });
    console.log(`Lighthouse ${desktop ? 'desktop' : 'mobile'}: ${JSON.stringify(scores)}`);
    for (const category of categories) {
      expect({ category, score: scores[category], failing: failing[category] })
        .toEqual({ category, score: 100, failing: [] });
    }
  });
}
